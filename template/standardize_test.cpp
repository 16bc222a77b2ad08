#include "template/standardize.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "template/text_ops.h"

namespace plix {
namespace {

// "a|b|c" -> "a\nb\nc\n": keeps the tables readable.
std::string lines(std::string_view bars) {
  std::string out;
  for (char c : bars) out += c == '|' ? '\n' : c;
  return out + "\n";
}

TEST(StandardizeDerivation, CanonicalShapes) {
  // what, text, canonical text
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"switch becomes an if match chain",
       lines("switch $Severity|case 1 2|a|case 3|b|default|c|end"),
       lines("if match $Severity 1 2|a|elif match $Severity 3|b|else|c|fi")},
      {"switch without subject tests $$", lines("switch|case x y|a|end"),
       lines("if match $$ x y|a|fi")},
      {"switch subject loses its quotes", lines("switch \"$A\"|case 1|a|end"),
       lines("if match $A 1|a|fi")},
      {"then dropped, one-argument equals completed", lines("if equals Fixed|then|x|fi"),
       "if equals Fixed $$  \nx\nfi\n"},
      {"continuation after body splits the branch", lines("if A|x|and B|y|fi"),
       "if A  \nx\nfi\nif A  \nand B  \ny\nfi\n"},
      {"continuation before any body stays", lines("if A|or B|x|fi"), "if A  \nor B  \nx\nfi\n"},
      {"continuation gets the equals completion", lines("if A|andif equals X|x|fi"),
       "if A  \nandif equals X $$  \nx\nfi\n"},
      {"split inside an elif branch reopens with the earlier heads",
       lines("if A|x|elif C|z|and D|w|fi"),
       "if A  \nx\nelif C  \nz\nfi\nif A  \nelif C  \nand D  \nw\nfi\n"},
      {"elif and else branches", lines("if equals A B|x|elif C|y|else|z|fi"),
       "if equals A B  \nx\nelif C  \ny\nelse  \nz\nfi\n"},
      {"switch nested in if", lines("if A|switch $X|case 1|x|end|fi"),
       "if A  \nif match $X 1\nx\nfi\nfi\n"},
      {"if nested in switch", lines("switch|case a|if B|x|fi|end"),
       "if match $$ a\nif B  \nx\nfi\nfi\n"},
      {"text after a block", lines("if A|x|fi|y"), "if A  \nx\nfi\ny\n"},
      {"leading blanks and empty lines dropped", "  a\n\n\t b \n\n", "a\nb \n"},
      {"then outside a block is an ordinary line", lines("then"), lines("then")},
      {"fi line's rest dropped", "if A\nx\nfi trailing\n", "if A  \nx\nfi\n"},
      {"text ends at a NUL byte", std::string("a\nb\0c\n", 6), "a\nb\n"},
      {"comment blanks the rest of its line", "echo x # note\n", "echo x       \n"},
      {"# inside quotes stays, after them starts a comment", "echo \"a # b\" # c\n",
       "echo \"a # b\"    \n"},
      {"either quote closes the open span", "echo \"it's # here\n", "echo \"it's       \n"},
      {"backslash escapes a quote", "echo \\\"# x\n", "echo \\\"   \n"},
      {"backslash escapes a #", "echo \\# x\n", "echo \\# x\n"}};
  for (const auto& [what, in, want] : cases) {
    std::string out = "stale";
    int n = standardize_derivation(in, out);
    EXPECT_EQ(out, want) << what;
    EXPECT_EQ(n, static_cast<int>(want.size())) << what;
  }
}

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(StandardizeDerivation, MalformedOrOversizedTextFails) {
  const std::pair<const char*, std::string> cases[] = {
      {"if without fi", lines("if A|x")},
      {"switch without end", lines("switch x|case 1|a")},
      {"case without values", lines("switch x|case|a|end")},
      {"switch not followed by case", lines("switch x|a|case 1|end")},
      {"switch as the last line", "switch x"},
      {"deeply nested ifs overflow", repeat("if\n", 3000) + repeat("fi\n", 3000)},
      {"deeply nested switches", repeat("switch a\ncase 1\n", 3000)},
      {"10 KB of plain lines", repeat("echo something\n", 700)},
      {"long body inside a block", "if A\n" + repeat("x", 5000) + "\nfi\n"}};
  for (const auto& [what, in] : cases) {
    std::string out = "stale";
    EXPECT_EQ(standardize_derivation(in, out), -1) << what;
    EXPECT_EQ(out, "") << what;
  }
  std::string out;
  EXPECT_EQ(standardize_derivation(std::nullopt, out), -1);
}

TEST(StandardizeDerivation, LengthLimitIsInclusiveAndModerateNestingSucceeds) {
  std::string out;
  EXPECT_EQ(standardize_derivation(std::string(kMaxLogicText - 1, 'a'), out),
            static_cast<int>(kMaxLogicText));
  EXPECT_EQ(standardize_derivation(std::string(kMaxLogicText, 'a'), out), -1);
  // Blank lines cost nothing.
  EXPECT_EQ(standardize_derivation(std::string(20000, '\n') + "a", out), 2);
  std::string text = repeat("if A\n", 100) + "x\n" + repeat("fi\n", 100);
  ASSERT_GT(standardize_derivation(text, out), 0);
  EXPECT_EQ(out, repeat("if A  \n", 100) + "x\n" + repeat("fi\n", 100));
}

// The block entry points and skip_logic, which no caller reaches with a wrong line.
TEST(StandardizeBlocks, EntryPointsCheckTheirLine) {
  const std::string text = lines("x|  if A|y|fi|switch|case 1|z|end");
  const std::size_t if_at = text.find("  if"), sw_at = text.find("switch");
  std::string out;
  EXPECT_EQ(standardize_if(text, if_at, out), 12);
  EXPECT_EQ(out, "if A  \ny\nfi\n");
  EXPECT_EQ(standardize_switch(text, sw_at, out), 19);
  EXPECT_EQ(out, lines("if match $$ 1|z|fi"));
  EXPECT_EQ(standardize_logic(text, if_at, out), 12);
  EXPECT_EQ(standardize_if(text, sw_at, out), -1);
  EXPECT_EQ(standardize_switch(text, if_at, out), -1);
  EXPECT_EQ(standardize_logic(text, 0, out), -1);
  EXPECT_EQ(standardize_logic(text, text.size(), out), -1);
  EXPECT_EQ(skip_logic(text, sw_at), text.find("end"));
  EXPECT_EQ(skip_logic(text, 0), 0u);
  EXPECT_EQ(skip_logic("if A\nif B\nfi\n", 0), npos);
}

}  // namespace
}  // namespace plix

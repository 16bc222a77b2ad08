#include "template/prompts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace plix {
namespace {

struct PromptCase {
  const char* text;
  int row, col;
  std::optional<std::string> label;
  int size, length, type;
  std::optional<std::string> trailer;
};

// The end-to-end tests read %s, %60.80s and label-only prompts. Every case starts from FT_SKIP, so
// "type unchanged" shows as FT_SKIP and a decided type shows that the prompt overrides the flow
// analysis.
TEST(ParsePrompt, ReadsMarkerLabelConversionAndTrailer) {
  const PromptCase cases[] = {
      {"\\(5,10)Severity:%-2d", 5, 10, "Severity:", 2, -1, FT_INTEGER, std::nullopt},
      {"Cost: %10.2f EUR", -1, -1, "Cost: ", 10, 2, FT_FLOAT, " EUR"},
      {"%+5u", -1, -1, std::nullopt, 5, -1, FT_INTEGER, std::nullopt},
      {"Hex %x", -1, -1, "Hex ", -1, -1, FT_TEXT, std::nullopt},
      {"\\(,7)X %e", -1, 7, "X ", -1, -1, FT_FLOAT, std::nullopt},
      {"", -1, -1, std::nullopt, -1, -1, FT_SKIP, std::nullopt},
      // No conversion letter: the text does not decide the type.
      {"%5 left", -1, -1, std::nullopt, 5, -1, FT_SKIP, " left"},
      // Numbers beyond kMaxPromptNumber count as absent; the letter still counts.
      {"W %99999999999d", -1, -1, "W ", -1, -1, FT_INTEGER, std::nullopt},
      {"\\(99999999999,2)L %d", -1, 2, "L ", -1, -1, FT_INTEGER, std::nullopt},
      {"W %99999d", -1, -1, "W ", 99999, -1, FT_INTEGER, std::nullopt},
      // An escaped percent is text, the next one converts.
      {"100\\% sure %3d\\n!", -1, -1, "100% sure ", 3, -1, FT_INTEGER, "!"},
  };
  for (const auto& c : cases) {
    pfield f = make_pfield("F", "");
    f.type = FT_SKIP;
    parse_prompt(f, c.text);
    EXPECT_EQ(std::tie(f.row, f.col, f.label, f.size, f.length, f.type, f.trailer),
              std::tie(c.row, c.col, c.label, c.size, c.length, c.type, c.trailer))
        << c.text;
  }
}

TEST(CopyLabel, ResolvesEveryEscapeUpToTheConversion) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"A\\101B", "AAB"},               // octal
      {"\\a\\b\\e\\f\\k\\n\\rz", "z"},  // dropped letter escapes
      {"\\(1,2)L", "L"},                // marker dropped through ")"
      {"a\\[1;2mb", "amb"},             // "[" and three more dropped
      {"q\\\"q\\\\", "q\"q\\"},         // other characters kept
      {"Label %d rest", "Label "},
      {"end\\", "end"},    // backslash at the very end
      {"\\0x", "x"},       // a NUL code is dropped
      {"\\7777", "\xff"},  // many digits: low 8 bits
      {"\\(unclosed", std::nullopt},
      {"\\[ab", std::nullopt},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(copy_label(text), want) << text;
}

struct CopyCase {
  const char* derivation;
  const char* text;
  const char* input_at;  // the text from the input point on, or null for none
};

TEST(CopyPrompts, CollectsPromptTextAndSetsInputPoint) {
  const CopyCase cases[] = {
      {"echo 3\n\"Severity (1-5): %1d\"\noneof 1 2\n", "Severity (1-5): %1d", "%1d\"\noneof 1 2\n"},
      // A positioned line discards what came before it, in the line or before.
      {"\"Old \\(1,1)x \\(2,3)New %d\"\n", "\\(2,3)New %d", "%d\"\n"},
      {"\"First\"\n\"\\(2,3)Second %5s\"\n", "\\(2,3)Second %5s", "%5s\"\n"},
      // Lines after the input line extend the trailer.
      {"\"Name:\"\n  \"%20s\"\n\"(in full)\"\n", "Name:%20s(in full)", "%20s\"\n\"(in full)\"\n"},
      // Two conversions in a line, or a second input line: passed over.
      {"\"a %d %d\"\n\"B %s\"\n", "B %s", "%s\"\n"},
      {"\"A %s\"\n\"B %d\"\n\"C\"\n", "A %sC", "%s\"\n\"B %d\"\n\"C\"\n"},
      // A marker after the input line ends the walk.
      {"\"A %s\"\n\"\\(1,1)B\"\n\"C\"\n", "A %s", "%s\"\n\"\\(1,1)B\"\n\"C\"\n"},
      // No closing quote: the line ends the text.
      {"\"Open %d\nnext\n", "Open %d", "%d\nnext\n"},
      // An escaped quote does not end the text; an escaped % is no input.
      {"\"Say \\\"hi\\\" %s\" tail\n", "Say \\\"hi\\\" %s", "%s\" tail\n"},
      {"\"100\\% %d\"\n", "100\\% %d", "%d\"\n"},
      {"\"View only\"\n", "View only", nullptr},
  };
  for (const auto& c : cases) {
    pfield f = make_pfield("F", c.derivation);
    std::string text;
    copy_prompts(f, text);
    SCOPED_TRACE(c.derivation);
    EXPECT_EQ(text, c.text);
    if (c.input_at == nullptr) {
      EXPECT_FALSE(f.input_point);
    } else {
      ASSERT_TRUE(f.input_point);
      EXPECT_EQ(f.derivation->substr(*f.input_point), c.input_at);
    }
  }
  pfield none = make_pfield("F", std::nullopt);
  std::string text = "stale";
  copy_prompts(none, text);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace plix

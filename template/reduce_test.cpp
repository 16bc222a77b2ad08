#include "template/reduce.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

#include "template/standardize.h"
#include "template/text_ops.h"
#include "tests/support/site_env.h"

namespace plix {
namespace {

// The non-blank lines of a text, trimmed, joined by " | ".
std::string squeeze(std::string_view text) {
  std::string out, line;
  for (std::istringstream in{std::string(text)}; std::getline(in, line);) {
    std::size_t b = line.find_first_not_of(" \t\r\v\f");
    if (b == std::string::npos) continue;
    out += (out.empty() ? "" : " | ") + line.substr(b, line.find_last_not_of(" \t\r\v\f") + 1 - b);
  }
  return out;
}

// "a|b" -> "a\nb\n".
std::string lines(std::string_view bars) {
  std::string out;
  for (char c : bars) out += c == '|' ? '\n' : c;
  return out + "\n";
}

// "a|b" -> standardized text of the lines a, b.
std::string std_text(std::string_view bars) {
  std::string out;
  EXPECT_GE(standardize_derivation(lines(bars), out), 0) << bars;
  return out;
}

std::string reduce(std::string_view bars, char op, const FieldTable* current = nullptr) {
  auto r = reduce_logic(std_text(bars), 'S', op, nullptr, nullptr, current, "F");
  EXPECT_TRUE(r.has_value()) << bars;
  return r ? squeeze(*r) : "<null>";
}

FieldTable record(std::initializer_list<std::pair<const char*, const char*>> values) {
  FieldTable t;
  for (const auto& [k, v] : values) addfield(k, v, t);
  return t;
}

TEST(EvalCmd, DecidesKnownTests) {
  // At modify time ('m'). A "$" met before a match leaves equals undecided;
  // a match met first decides it.
  for (const char* t : {"www", "input", "equals a b c a", "match x x", "equals \"a b\" 'a b'",
                        "equals a b a $X", "not not true", "  true\nfalse"})
    EXPECT_EQ(eval_cmd(t, 'm'), kTrue) << t;
  for (const char* t : {"gui", "output", "equals a b", "equal x y"})
    EXPECT_EQ(eval_cmd(t, 'm'), kFalse) << t;
  for (const char* t :
       {"equals a", "equals a $X a", "equals a $$", "not equals $X a", "not", "-f /etc/passwd", ""})
    EXPECT_EQ(eval_cmd(t, 'm'), kUndecided) << t;
  // input and output by operation letter (the reduction cases run input at m, p and v).
  EXPECT_EQ(eval_cmd("input", 'f'), kFalse);
  EXPECT_EQ(eval_cmd("output", 'v'), kTrue);
  EXPECT_EQ(eval_cmd("output", 'f'), kTrue);
  std::string long_token(kMaxValueLength + 1, 'a');
  EXPECT_EQ(eval_cmd("equals " + long_token + " " + long_token, 'm'), kUndecided);
  std::string max_token(kMaxValueLength, 'a');
  EXPECT_EQ(eval_cmd("equals " + max_token + " " + max_token, 'm'), kTrue);
}

TEST(ExpandVars, SpecialFormsStateRecordsAndTheFallbackForSkippedFields) {
  test::SiteEnv env("/db/home", "alice");
  FieldTable cur = record({{"Severity", "3"}, {"Priority", "Low"}});
  FieldTable fb = record({{"Owner", "bob"}, {"Reached", "r"}, {"Skipped", "s"}});
  auto expand = [&](std::string_view text, char op, const FieldTable* current = nullptr) {
    return expand_vars(text, 'S', op, nullptr, current ? &fb : nullptr, current, "Severity");
  };
  const std::tuple<const char*, char, std::string> cases[] = {
      {"cat $~/x", 'm', "cat /db/home/x"},
      {"mail $@", 'm', "mail alice"},
      {"$$", 'v', "3"},
      {"$$", 'm', "$$"},
      {"$STATE $OPERATION", 'p', "S p"},
      {"$STATEX $state", 'm', " "},  // not STATE: records, then the fallback
      {"$Priority $priority $Owner", 'm', "Low Low bob"},
      {"$Missing", 'v', ""},  // the fallback lacks it too
      {"\\$Priority", 'm', "\\$Priority"},
      {"$ x $", 'm', "$ x $"},
  };
  for (const auto& [in, op, want] : cases) EXPECT_EQ(expand(in, op, &cur), want) << in << " " << op;
  // Without records everything but the special forms stays.
  EXPECT_EQ(*expand("$Priority $$ $STATE $state", 'm'), "$Priority $$ S $state");
  // With the pass's fields the fallback serves only the fields it skips.
  PfieldArray fields = {make_pfield("Reached", ""), make_pfield("Skipped", ""), make_end_marker()};
  fields[0].states = "S";
  fields[1].states = "";
  EXPECT_EQ(*expand_vars("$Reached $Skipped $Other", 'S', 'm', &fields, &fb, nullptr, "F"),
            "$Reached s ");
  // Overflow fails.
  FieldTable a = record({{"A", "0123456789"}});
  std::string fits(kMaxLogicText - 10, 'x');
  EXPECT_EQ(expand_vars(fits + "$A", 'S', 'm', nullptr, nullptr, &a, "F")->size(),
            kMaxLogicText);
  EXPECT_EQ(reduce_logic(fits + "x$A", 'S', 'm', nullptr, nullptr, &a, "F"), std::nullopt);
}

// Expansion, evaluation, folding of condition chains, removal of decided
// blocks and of empty ones; A, B and C stay undecided.
TEST(ReduceLogic, ResolvesWhatTheParseKnows) {
  const std::tuple<const char*, char, const char*> cases[] = {
      {"if input|a|else|b|fi", 'm', "a"},
      {"if input|a|else|b|fi", 'v', "b"},
      {"if equals $Priority High Low|x|fi", 'm', "if equals $Priority High Low | x | fi"},
      {"if equals $STATE S|x|else|y|fi", 'm', "x"},
      {"switch $STATE|case N A|n|case S|s|default|d|end", 'm', "s"},
      {"if not output|a|fi|b", 'm', "a | b"},
      {"if -f x|a|fi|if not -f x|b|fi", 'm', "if -f x | a | fi | if not -f x | b | fi"},
      // Chains fold from the bottom: true and X is X, false or X is X.
      {"if A|and B|or true|x|fi", 'm', "if A | x | fi"},
      {"if true|and B|x|fi", 'm', "if B | x | fi"},
      {"if false|or B|x|fi", 'm', "if B | x | fi"},
      {"if false|andif B|x|fi", 'm', ""},
      {"if true|orif B|x|fi", 'm', "x"},
      {"if A|and input|x|fi", 'p', "if A | x | fi"},
      {"if A|and gui|x|fi", 'p', ""},
      {"if A|or false|x|fi", 'm', "if A | x | fi"},
      {"if A|and B|x|fi", 'm', "if A | and B | x | fi"},
      {"if A|and|x|fi", 'm', "if A | and | x | fi"},  // no condition: the chain ends
      {"if false|orif false|x|fi", 'm', ""},
      {"if A|x|elif true|and C|y|fi", 'm', "if A | x | elif C | y | fi"},
      // After a false if, an elif takes its place.
      {"if false|a|elif B|b|else|c|fi", 'm', "if B | b | else | c | fi"},
      {"if equals A B|x|elif equals A A|y|fi", 'm', "y"},
      {"if false|a|elif false|b|else|c|fi", 'm', "c"},
      {"if false|if A|x|fi|fi|y", 'm', "y"},
      {"if true|if A|x|else|z|fi|fi", 'm', "if A | x | else | z | fi"},
      {"if true|and|x|fi", 'm', "x"},
      {"fi|if true|a|fi|b", 'm', "fi | a | b"},  // a stray fi stays
  };
  for (const auto& [text, op, want] : cases) EXPECT_EQ(reduce(text, op), want) << text << " " << op;
  FieldTable low = record({{"Priority", "Low"}});
  EXPECT_EQ(reduce("if equals $Priority High Low|x|fi", 'm', &low), "x");
  // A block whose body was blanked disappears.
  std::string blanked = "if equals $X y  \n              \nfi\nz\n";
  EXPECT_EQ(squeeze(*reduce_logic(blanked, 'S', 'm', nullptr, nullptr, nullptr, "F")), "z");
  EXPECT_EQ(reduce_logic(std::nullopt, 'S', 'm', nullptr, nullptr, nullptr, "F"), std::nullopt);
}

TEST(PstripLogic, ReducesReachedFieldsForTheirFirstState) {
  FieldTable fb = record({{"Other", "gone"}});
  PfieldArray fields = {make_pfield("A", std_text("if equals $STATE N|n|else|o|fi")),
                        make_pfield("B", std_text("if input|x|fi|echo $Other $A")),
                        make_pfield("Other", std_text("if input|x|fi")),
                        make_pfield("Broken", std::nullopt), make_end_marker()};
  fields[0].states = "NS";
  fields[0].input_point = 3;
  fields[1].states = fields[3].states = "S";
  pstrip_logic(fields, 'q', &fb, nullptr);
  EXPECT_EQ(squeeze(*fields[0].derivation), "n");
  EXPECT_FALSE(fields[0].input_point.has_value());
  EXPECT_EQ(squeeze(*fields[1].derivation), "x | echo gone $A");  // q reduces as m
  EXPECT_EQ(*fields[2].derivation, std_text("if input|x|fi"));    // not reached: untouched
  EXPECT_FALSE(fields[3].derivation.has_value());
}

}  // namespace
}  // namespace plix

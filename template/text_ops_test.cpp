#include "template/text_ops.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

TEST(Copytoken, QuotesAndBackslashes) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"a b\" rest", "a b"},   // quotes group, are dropped
      {"a\\ b c", "a b"},        // backslash keeps the blank
      {"'it\"s' x", "its x"},    // one toggle: the second ' reopens
      {"\"open\nnext", "open"},  // a newline ends the token even inside quotes
      {"x\\", "x"},              // a backslash at the end adds nothing
      {"", ""},
  };
  for (const auto& [text, want] : cases) {
    std::string out;
    std::size_t n = copytoken(text, 0, out);
    EXPECT_EQ(out, want) << text;
    EXPECT_EQ(n, out.size());
  }
}

TEST(FilterIs, WordMustEndAtWhiteSpaceOrEnd) {
  EXPECT_TRUE(filter_is("if", "if equals a", 0));
  EXPECT_FALSE(filter_is("if", "ifx", 0));
  EXPECT_FALSE(filter_is("or", "orif x", 0));
  EXPECT_TRUE(filter_is("gooddate -E", "gooddate -E\n", 0));
  EXPECT_FALSE(filter_is("gooddate -E", "gooddate\n", 0));
}

TEST(Variables, NameAndReplacement) {
  EXPECT_EQ(variable_name("$Class/lists", 0), "Class");
  EXPECT_EQ(variable_name("$/x", 0), "");
  EXPECT_EQ(variable_name("x", 0), std::nullopt);
  std::string out;
  replace_var("oneof -f \"$Comp.list\" $Component\nnext", 0, out, "Comp", "db");
  EXPECT_EQ(out, "oneof -f db.list $Component");  // exact names only; quotes dropped
}

}  // namespace
}  // namespace plix

#include "util/strarray.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

TEST(StrarrayCreate, SplitsAtRunsOrTheFullFormAtEachDelimiter) {
  const struct {
    bool full;
    std::string text, delimiters;
    StrArray want;
  } cases[] = {
      {false, ",,a,b,,", ",", {"a", "b"}},
      {false, "a b\t\tc", " \t", {"a", "b", "c"}},
      {false, ",,,", ",", {}},
      {false, "", ",", {}},
      {false, "abc", "", {}},
      {true, "a:b::", ":", {"a", "b", "", ""}},
      {true, ":", ":", {"", ""}},
      {true, "a;b:c", ":;", {"a;b", "c"}},  // only the first delimiter splits
      {true, "", ":", {}},
      {true, "a:b", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(
        c.full ? fullstrarray_create(c.text, c.delimiters) : strarray_create(c.text, c.delimiters),
        c.want)
        << c.text << " / " << c.delimiters;
  }
}

TEST(QuotedStrarrayCreate, SplitsWordsAndQuotedRuns) {
  const std::pair<std::string, StrArray> cases[] = {
      {"one \"two words\" 'three  words'", {"one", "two words", "three  words"}},
      {"a\"b c", {"a\"b", "c"}},  // a mark inside a word is ordinary
      {"'unterminated rest  ", {"unterminated rest  "}},
      {"\"\" x ''", {"x"}},  // empty quoted words are left out
      {"\"ab\"cd", {"ab", "cd"}},
      {"", {}},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(quoted_strarray_create(text), want) << text;
}

TEST(StrarrayAppend, AddsTokensAndLinesIgnoringEmptyArguments) {
  StrArray a;
  EXPECT_EQ(strarray_append(a, ",a,,b,", ","), (StrArray{"a", "b"}));
  strarray_append(a, "", ",");
  strarray_append(a, "c", "");
  strarray_addline(a, static_cast<const char*>(nullptr));
  strarray_addline(a, "");
  strarray_addline(a, "a line, with, commas");
  EXPECT_EQ(a, (StrArray{"a", "b", "a line, with, commas"}));
}

TEST(StrarrayGetSubset, ClampsToTheArray) {
  const StrArray abc = {"a", "b", "c"};
  struct Case {
    int first, last;
    StrArray want;
  };
  const Case cases[] = {
      {1, -1, {"b", "c"}}, {3, -1, {}},    {1, 10, {"b", "c"}},
      {2, 1, {}},          {-5, 0, {"a"}}, {0, -7, {"a", "b", "c"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strarray_get_subset(abc, c.first, c.last), c.want) << c.first << ".." << c.last;
  }
}

TEST(StrarrayJoinAndSearch, SeparatorBetweenNeighboursFirstExactMatch) {
  EXPECT_EQ(strarray_join({}, ","), "");
  EXPECT_EQ(strarray_join({"", ""}, ":"), ":");
  StrArray many(100, std::string(300, 'x'));  // far past any initial buffer size
  EXPECT_EQ(strarray_join(many, "--").size(), 100u * 300u + 99u * 2u);

  const StrArray a = {"ab", "abc", "AB", "abc"};
  EXPECT_EQ(strarray_search(a, "abc"), &a[1]);
  EXPECT_EQ(strarray_index(a, "Ab"), -1);  // exact match only
}

}  // namespace
}  // namespace plix

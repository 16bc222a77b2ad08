#include "util/strarray.h"

#include <gtest/gtest.h>

#include <tuple>

namespace plix {
namespace {

TEST(StrarrayCreate, RunsFullFormAndQuotedWords) {
  enum Form { kRuns, kFull, kQuoted };
  const struct {
    Form form;
    std::string text, delimiters;
    StrArray want;
  } cases[] = {
      {kRuns, ",,a,b,,", ",", {"a", "b"}},
      {kRuns, "a b\t\tc", " \t", {"a", "b", "c"}},
      {kRuns, ",,,", ",", {}},
      {kRuns, "", ",", {}},
      {kRuns, "abc", "", {}},
      {kFull, "a:b::", ":", {"a", "b", "", ""}},
      {kFull, ":", ":", {"", ""}},
      {kFull, "a;b:c", ":;", {"a;b", "c"}},  // only the first delimiter splits
      {kFull, "", ":", {}},
      {kFull, "a:b", "", {}},
      {kQuoted, "one \"two words\" 'three  words'", "", {"one", "two words", "three  words"}},
      {kQuoted, "a\"b c", "", {"a\"b", "c"}},  // a mark inside a word is ordinary
      {kQuoted, "'unterminated rest  ", "", {"unterminated rest  "}},
      {kQuoted, "\"\" x ''", "", {"x"}},  // empty quoted words are left out
      {kQuoted, "\"ab\"cd", "", {"ab", "cd"}},
      {kQuoted, "", "", {}},
  };
  for (const auto& c : cases) {
    StrArray got = c.form == kRuns   ? strarray_create(c.text, c.delimiters)
                   : c.form == kFull ? fullstrarray_create(c.text, c.delimiters)
                                     : quoted_strarray_create(c.text);
    EXPECT_EQ(got, c.want) << c.form << ": " << c.text << " / " << c.delimiters;
  }
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

TEST(StrarraySubsetJoinSearch, ClampsJoinsAndMatchesExactly) {
  const StrArray abc = {"a", "b", "c"};
  const std::tuple<int, int, StrArray> subsets[] = {
      {1, -1, {"b", "c"}}, {3, -1, {}}, {1, 10, {"b", "c"}}, {2, 1, {}}, {-5, 0, {"a"}}};
  for (const auto& [first, last, want] : subsets)
    EXPECT_EQ(strarray_get_subset(abc, first, last), want) << first << ".." << last;
  EXPECT_EQ(strarray_join({}, ","), "");
  EXPECT_EQ(strarray_join({"", ""}, ":"), ":");
  const StrArray a = {"ab", "abc", "AB", "abc"};
  EXPECT_EQ(strarray_search(a, "abc"), &a[1]);
  EXPECT_EQ(strarray_index(a, "Ab"), -1);  // exact match only
}

}  // namespace
}  // namespace plix

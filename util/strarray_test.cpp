#include "util/strarray.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

struct SplitCase {
  std::string text, delimiters;
  StrArray want;
};

TEST(StrarrayCreate, SplitsAtRunsOfDelimiters) {
  const SplitCase cases[] = {
      {"a,,b", ",", {"a", "b"}},
      {",,a,b,,", ",", {"a", "b"}},
      {"a b\t\tc", " \t", {"a", "b", "c"}},
      {"abc", ",", {"abc"}},
      {",,,", ",", {}},
      {"", ",", {}},
      {"abc", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strarray_create(c.text, c.delimiters), c.want) << c.text << " / " << c.delimiters;
  }
}

TEST(FullstrarrayCreate, SplitsAtEveryFirstDelimiterKeepingEmptyFields) {
  const SplitCase cases[] = {
      {"a:b::", ":", {"a", "b", "", ""}},
      {"a,,b", ",", {"a", "", "b"}},
      {":", ":", {"", ""}},
      {"a;b:c", ":;", {"a;b", "c"}},  // only the first delimiter splits
      {"abc", ":", {"abc"}},
      {"", ":", {}},
      {"a:b", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fullstrarray_create(c.text, c.delimiters), c.want) << c.text << " / " << c.delimiters;
  }
}

TEST(QuotedStrarrayCreate, SplitsWordsAndQuotedRuns) {
  const std::pair<std::string, StrArray> cases[] = {
      {"one \"two words\" 'three  words'", {"one", "two words", "three  words"}},
      {"a\"b c", {"a\"b", "c"}},  // a mark inside a word is ordinary
      {"'unterminated rest  ", {"unterminated rest  "}},
      {"\"\" x ''", {"x"}},  // empty quoted words are left out
      {"\"it's\"", {"it's"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"\t\n x\ty \n", {"x", "y"}},
      {"   ", {}},
      {"", {}},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(quoted_strarray_create(text), want) << text;
}

TEST(StrarrayAppend, AddsTokensAndIgnoresEmptyArguments) {
  StrArray a;
  strarray_append(a, "x", ",");
  EXPECT_EQ(a, (StrArray{"x"}));
  EXPECT_EQ(strarray_append(a, ",a,,b,", ","), (StrArray{"x", "a", "b"}));
  strarray_append(a, "", ",");
  strarray_append(a, "c", "");
  EXPECT_EQ(a, (StrArray{"x", "a", "b"}));
}

TEST(StrarrayAddline, IgnoresNullAndEmptyLines) {
  StrArray a = strarray_create_empty();
  strarray_addline(a, static_cast<const char*>(nullptr));
  strarray_addline(a, "");
  EXPECT_EQ(strarray_count(a), 0);
  strarray_addline(a, "a line, with, commas");
  strarray_addline(a, std::string(" "));
  EXPECT_EQ(a, (StrArray{"a line, with, commas", " "}));
}

TEST(StrarrayGetSubset, ClampsToTheArray) {
  const StrArray abc = {"a", "b", "c"};
  struct Case {
    int first, last;
    StrArray want;
  };
  const Case cases[] = {
      {1, -1, {"b", "c"}}, {3, -1, {}},   {0, 1, {"a", "b"}},       {1, 10, {"b", "c"}}, {2, 1, {}},
      {-5, 0, {"a"}},      {2, 2, {"c"}}, {0, -7, {"a", "b", "c"}}, {10, 20, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strarray_get_subset(abc, c.first, c.last), c.want) << c.first << ".." << c.last;
  }
  EXPECT_TRUE(strarray_get_subset(StrArray(), 0, -1).empty());
}

TEST(StrarrayJoin, PutsSeparatorBetweenNeighbours) {
  EXPECT_EQ(strarray_join({}, ","), "");
  EXPECT_EQ(strarray_join({"a"}, ","), "a");
  EXPECT_EQ(strarray_join({"a", "b", "c"}, ", "), "a, b, c");
  EXPECT_EQ(strarray_join({"", ""}, ":"), ":");
  EXPECT_EQ(strarray_join({"a", "b"}, ""), "ab");

  // Far past any initial buffer size.
  StrArray many(100, std::string(300, 'x'));
  std::string joined = strarray_join(many, "--");
  EXPECT_EQ(joined.size(), 100u * 300u + 99u * 2u);
  EXPECT_EQ(joined.substr(298, 6), "xx--xx");
}

TEST(StrarraySearch, FindsFirstExactMatch) {
  const StrArray a = {"ab", "abc", "AB", "abc"};
  EXPECT_EQ(strarray_index(a, "abc"), 1);
  ASSERT_NE(strarray_search(a, "abc"), nullptr);
  EXPECT_EQ(strarray_search(a, "abc"), &a[1]);
  EXPECT_EQ(strarray_index(a, "Ab"), -1);
  EXPECT_EQ(strarray_search(a, "a"), nullptr);
  EXPECT_EQ(strarray_index(StrArray(), ""), -1);
  EXPECT_EQ(strarray_index({"", "x"}, ""), 0);
}

TEST(StrarrayFree, LeavesNoEntries) {
  StrArray a = strarray_create("a b c", " ");
  EXPECT_EQ(strarray_count(a), 3);
  strarray_free(a);
  EXPECT_EQ(strarray_count(a), 0);
  strarray_free(a);
}

}  // namespace
}  // namespace plix

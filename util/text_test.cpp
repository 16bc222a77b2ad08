#include "util/text.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

TEST(Strsave, NullGivesEmptyText) {
  EXPECT_EQ(strsave(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(strsave("abc"), "abc");
  EXPECT_EQ(strsave(std::string_view("a\0b", 3)), std::string("a\0b", 3));
}

TEST(EmptyString, OnlyTheSixWhiteSpaceCharactersCount) {
  EXPECT_TRUE(empty_string(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(empty_string(""));
  EXPECT_TRUE(empty_string(" \t\n\r\v\f"));
  EXPECT_TRUE(empty_string(std::string("   \n")));
  EXPECT_FALSE(empty_string("  x\n"));
  EXPECT_FALSE(empty_string(std::string_view("\0", 1)));
}

TEST(Endof, PointsAtLastCharacter) {
  std::string s = "line\n";
  ASSERT_EQ(endof(s), 4u);
  if (s[endof(s)] == '\n') s.erase(endof(s));
  EXPECT_EQ(s, "line");
  EXPECT_EQ(endof(""), std::string::npos);
}

TEST(Killnl, CutsAtFirstNewline) {
  std::string s = "a\nb\n";
  killnl(s);
  EXPECT_EQ(s, "a");
  std::string none = "abc";
  killnl(none);
  EXPECT_EQ(none, "abc");
  std::string lead = "\nabc";
  killnl(lead);
  EXPECT_EQ(lead, "");

  char buf[] = "x\ny";
  killnl(buf);
  EXPECT_STREQ(buf, "x");
  killnl(static_cast<char*>(nullptr));
}

}  // namespace
}  // namespace plix

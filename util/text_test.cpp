#include "util/text.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

TEST(Text, StrsaveAndEmptyString) {
  EXPECT_EQ(strsave(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(strsave(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_TRUE(empty_string(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(empty_string(" \t\n\r\v\f"));  // only these six count
  EXPECT_FALSE(empty_string("  x\n"));
  EXPECT_FALSE(empty_string(std::string_view("\0", 1)));
}

TEST(Text, EndofAndKillnl) {
  EXPECT_EQ(endof(""), std::string::npos);
  std::string s = "a\nb\n", lead = "\nabc";
  killnl(s);
  killnl(lead);
  EXPECT_EQ(s, "a");
  EXPECT_EQ(lead, "");
  char buf[] = "x\ny";
  killnl(buf);
  EXPECT_STREQ(buf, "x");
  killnl(static_cast<char*>(nullptr));
}

}  // namespace
}  // namespace plix

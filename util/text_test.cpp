#include "util/text.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

TEST(Text, NullAndZeroBytesAreHandled) {
  EXPECT_EQ(strsave(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(strsave(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_TRUE(empty_string(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(empty_string(" \t\n\r\v\f"));  // only these six count
  EXPECT_FALSE(empty_string(std::string_view("\0", 1)));
  EXPECT_EQ(endof(""), std::string::npos);
  std::string lead = "\nabc";
  killnl(lead);
  EXPECT_EQ(lead, "");
  char buf[] = "x\ny\n";
  killnl(buf);  // cuts at the first newline
  EXPECT_STREQ(buf, "x");
  killnl(static_cast<char*>(nullptr));
}

}  // namespace
}  // namespace plix

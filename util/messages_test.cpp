#include "util/messages.h"

#include <gtest/gtest.h>

namespace plix {
namespace {
TEST(Format, GrowsPastSmallBuffer) {
  std::string big(2000, 'x');
  EXPECT_EQ(format("<%s>", big.c_str()), "<" + big + ">");
}
}  // namespace
}  // namespace plix

#include "util/messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace plix {
namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_message_state();
    captured().clear();
    message_state().warn_sink = [](const std::string& t) { captured() += t; };
  }
  void TearDown() override { reset_message_state(); }
  static std::string& captured() {
    static std::string* s = new std::string;
    return *s;
  }
};

TEST(Format, GrowsPastSmallBuffer) {
  std::string big(2000, 'x');
  EXPECT_EQ(format("<%s>", big.c_str()), "<" + big + ">");
}

TEST_F(MessagesTest, WarnAddsNoNewlineAndKeepsErrno) {
  errno = EEXIST;
  warn("Unknown browser type %s.", "lynx");
  EXPECT_EQ(captured(), "Unknown browser type lynx.");
  EXPECT_EQ(errno, EEXIST);
}

TEST_F(MessagesTest, WarnerrAppendsSystemTextOfErrno) {
  errno = ENOENT;
  warnerr("Can't create %s", "x");
  EXPECT_EQ(captured(), std::string("Can't create x: ") + std::strerror(ENOENT));
  captured().clear();
  errno = EACCES;
  warnerr(nullptr);
  EXPECT_EQ(captured(), std::strerror(EACCES));
}

TEST_F(MessagesTest, LineErrNamesFileAndFieldWhenSet) {
  message_state().Thisfile = "master.tmpl";
  message_state().Thisfield = "Severity";
  line_err("no closing quote");
  EXPECT_EQ(captured(), "Error in template file master.tmpl, field \"Severity\": no closing quote");
  captured().clear();
  message_state().Thisfield.reset();
  line_err("bad %d", 7);
  EXPECT_EQ(captured(), "Error in template file master.tmpl: bad 7");
}

TEST_F(MessagesTest, ControlCharactersOfArgumentsAreEscaped) {
  // The format's own newline stays; a value's ESC, CR, BEL and DEL do not
  // reach the terminal. Widths, precisions and other conversions still work.
  warn("bad %s|%c|%-4.3s|%*d|%zu|%.1f\n", "a\x1b[2J\rb\n\tz\x7f", '\a', "\x01xyz", 3, 7,
       size_t{9}, 2.25);
  EXPECT_EQ(captured(), "bad a\\x1b[2J\\x0db\n\tz\\x7f|\\x07|\\x01xy |  7|9|2.2\n");
  EXPECT_EQ(escape_controls("a\nb\x1c", false), "a\\x0ab\\x1c");
}

TEST(MessagesDeathTest, FatalAddsNewlineAndExitsOne) {
  EXPECT_EXIT(fatal("gone %s", "now"), ::testing::ExitedWithCode(1), "^gone now\n$");
}

}  // namespace
}  // namespace plix

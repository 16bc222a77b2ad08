#include "util/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "tests/support/temp_dir.h"

namespace plix {
namespace {

class ActivityLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_log_state();
    home_ = dir_.path();
    test::make_dirs(dir_ / "spool");
    log_state().home_provider = []() -> const std::string& { return home_; };
  }
  void TearDown() override { reset_log_state(); }
  std::string log() { return test::read_file(dir_ / "spool/LOG"); }

  test::TempDir dir_;
  static std::string home_;
};
std::string ActivityLogTest::home_;

TEST_F(ActivityLogTest, LineHasPaddedNameTimestampAndMessage) {
  plix_writelog("New bug %s", "ABCde00042");
  log_state().Log_name = "averylongname";
  plix_writelog("a");
  std::string text = log();
  std::string first = text.substr(0, text.find('\n') + 1);
  EXPECT_TRUE(
      std::regex_match(first, std::regex("\\?\\?\\?\\?\\?    \\d{6} \\d{6} New bug ABCde00042\n")))
      << text;
  EXPECT_EQ(text.substr(first.size(), 9), "averylon ");  // cut to eight
}

TEST_F(ActivityLogTest, LinesAppendWholeToAGroupWritableFileAndBadrecFlags) {
  ::umask(022);
  std::string big(6000, 'm');
  badrec("Damaged record %s", "x");
  EXPECT_EQ(log_state().Globerr, 1);
  plix_writelog("%s", big.c_str());
  std::string text = log();
  EXPECT_NE(text.find("Damaged record x\n"), std::string::npos);
  EXPECT_NE(text.find(big + "\n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  struct stat st;
  ASSERT_EQ(::stat((dir_ / "spool/LOG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // 0664 less the umask
}

TEST_F(ActivityLogTest, UnopenableLogPrintsLineAndExitsOne) {
  home_ = dir_ / "missing";
  EXPECT_EXIT(plix_writelog("lost %d", 1), ::testing::ExitedWithCode(1),
              "Exiting: spool/LOG: No such file or directory\n(.|\n)*lost 1\n");
}

}  // namespace
}  // namespace plix

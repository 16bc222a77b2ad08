#include "util/activity_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(ActivityLogTest, LinesArePaddedStampedWholeAndBadrecFlags) {
  ::umask(022);
  std::string big(6000, 'm');
  badrec("Damaged record %s", "ABCde00042");
  EXPECT_EQ(log_state().Globerr, 1);
  log_state().Log_name = "averylongname";
  plix_writelog("%s", big.c_str());
  std::string text = log();
  std::string head = text.substr(0, text.size() - big.size() - 1);
  EXPECT_EQ(text.substr(head.size()), big + "\n");  // one whole line, never cut
  EXPECT_TRUE(std::regex_match(
      head,
      std::regex("\\?{5}    \\d{6} \\d{6} Damaged record ABCde00042\naverylon \\d{6} \\d{6} ")))
      << head;
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

#include "template/help_files.h"

#include <gtest/gtest.h>

#include "site/home.h"
#include "tests/support/temp_dir.h"

namespace plix {
namespace {

TEST(GetHelpFromLine, NameIsTheRestOfTheFirstLine) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"help sev.help  \n", "sev.help"},
      {"  help\ta b \t", "a b"},
      {"help x\nhelp y\n", "x"},
      {"help", std::nullopt},
      {"help   \n", std::nullopt},
      {"helpme x", std::nullopt},
      {"echo help x", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [line, want] : cases) EXPECT_EQ(get_help_from_line(line), want) << line;
}

class HelpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site_state();
    site_state().home = home.path();  // no password lookup for the test's home
    test::write_file(home / "class/bugs/helps/sev.help", "Severity\n");
    test::write_file(home / "abs/other.help", "Other\n");
  }
  void TearDown() override { reset_site_state(); }
  test::TempDir home;
};

TEST_F(HelpFiles, SearchPathRelativeDirectoriesLieUnderTheHome) {
  const std::string found = home / "class/bugs/helps/sev.help";
  EXPECT_EQ(pl_get_help("help sev.help", "class/bugs/none:class/bugs/helps"), found);
  EXPECT_EQ(pl_get_help("help sev.help\n", "::class/bugs/helps:"), found);
  EXPECT_EQ(pl_get_help("help sev.help", home / "class/bugs/helps"), found);
  EXPECT_EQ(pl_get_help("help sev.help", "class/bugs/none"), std::nullopt);
  EXPECT_EQ(pl_get_help("help sev.help", ""), std::nullopt);
  EXPECT_EQ(pl_get_help("help other.help", "abs:class/bugs/helps"), home / "abs/other.help");
}

TEST_F(HelpFiles, AbsoluteAndHomeRelativeNamesBypassTheSearchPath) {
  const std::string other = home / "abs/other.help";
  EXPECT_EQ(pl_get_help("help " + other, "nowhere"), other);
  EXPECT_EQ(pl_get_help("help " + other + ".missing", "abs"), std::nullopt);
  EXPECT_EQ(pl_get_help("help $~/abs/other.help", "nowhere"), other);
  EXPECT_EQ(find_help_file("$~abs/other.help", ""), other);
  EXPECT_EQ(find_help_file("$~/abs/none", "abs"), std::nullopt);
}

TEST_F(HelpFiles, BothArgumentsAndAHelpLineAreNeeded) {
  EXPECT_EQ(pl_get_help(std::nullopt, "class/bugs/helps"), std::nullopt);
  EXPECT_EQ(pl_get_help("help sev.help", std::nullopt), std::nullopt);
  EXPECT_EQ(pl_get_help("echo sev.help", "class/bugs/helps"), std::nullopt);
  EXPECT_EQ(pl_get_help("help", "class/bugs/helps"), std::nullopt);
}

}  // namespace
}  // namespace plix

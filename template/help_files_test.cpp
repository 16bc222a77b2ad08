#include "template/help_files.h"

#include <gtest/gtest.h>

#include "tests/support/site_env.h"
#include "tests/support/temp_dir.h"

namespace plix {
namespace {

TEST(HelpFiles, NameFromTheHelpLineFoundAlongTheSearchPathOrTheHome) {
  const std::pair<const char*, std::optional<std::string>> lines[] = {
      {"  help\ta b \t", "a b"},
      {"help x\nhelp y\n", "x"},
      {"help   \n", std::nullopt},
      {"helpme x", std::nullopt},
      {"echo help x", std::nullopt}};
  for (const auto& [line, want] : lines) EXPECT_EQ(get_help_from_line(line), want) << line;

  test::TempDir home;
  test::SiteEnv env(home.path());  // no password lookup for the test's home
  test::write_file(home / "class/bugs/helps/sev.help", "Severity\n");
  test::write_file(home / "abs/other.help", "Other\n");
  const std::string found = home / "class/bugs/helps/sev.help";
  const std::string other = home / "abs/other.help";
  // Relative search directories lie under the home; empty entries are passed over.
  EXPECT_EQ(pl_get_help("help sev.help\n", "::class/bugs/none:class/bugs/helps:"), found);
  EXPECT_EQ(pl_get_help("help sev.help", home / "class/bugs/helps"), found);
  EXPECT_EQ(pl_get_help("help sev.help", "class/bugs/none"), std::nullopt);
  EXPECT_EQ(pl_get_help("help sev.help", ""), std::nullopt);
  // Absolute and home-relative names bypass the search path.
  EXPECT_EQ(pl_get_help("help " + other, "nowhere"), other);
  EXPECT_EQ(pl_get_help("help " + other + ".missing", "abs"), std::nullopt);
  EXPECT_EQ(pl_get_help("help $~/abs/other.help", "nowhere"), other);
  EXPECT_EQ(find_help_file("$~abs/other.help", ""), other);
  // Both arguments and a help line are needed.
  EXPECT_EQ(pl_get_help(std::nullopt, "class/bugs/helps"), std::nullopt);
  EXPECT_EQ(pl_get_help("help sev.help", std::nullopt), std::nullopt);
  EXPECT_EQ(pl_get_help("help", "class/bugs/helps"), std::nullopt);
}

}  // namespace
}  // namespace plix

#include "site/home.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/site_probe.h"
#include "tests/support/temp_home.h"
#include "util/activity_log.h"

namespace plix {
namespace {

using test::FakeUsers;
using test::run_site_probe;

TEST(Home, BugpathTakesSubdirectoryFromNinthAndTenthCharacters) {
  reset_site_state();
  site_state().home = "/h";
  const std::pair<std::string, std::string> cases[] = {
      {"ABCde00042", "/h/allbugs/42/ABCde00042"},
      {"ABCde0004299", "/h/allbugs/42/ABCde0004299"},
      // Too short for a subdirectory: an empty segment, nothing read past the end.
      {"ABCde0004", "/h/allbugs//ABCde0004"},
      {"", "/h/allbugs//"},
  };
  for (const auto& [id, path] : cases) EXPECT_EQ(bugpath(id), path) << id;
  // A reset forgets the log's home provider it registered: no dangling home.
  log_state().home_provider = &gethomedir;
  reset_site_state();
  EXPECT_EQ(log_state().home_provider, nullptr);
  EXPECT_FALSE(site_state().home.has_value());
  reset_log_state();
}

TEST(Truncname, CutsComponentAtTheLimitToOneLessAndLeavesShorterOnes) {
  std::string missing = "/nonexistent-dir-for-truncname/" + std::string(400, 'x');
  EXPECT_EQ(truncname(missing), -1);
  EXPECT_EQ(missing, "/nonexistent-dir-for-truncname/" + std::string(400, 'x'));
  test::TempDir dir;
  long name_max = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
  if (::pathconf(dir.path().c_str(), _PC_NO_TRUNC) != 1 || name_max <= 1)
    GTEST_SKIP() << "file system truncates names itself";
  std::size_t max = static_cast<std::size_t>(name_max);
  for (std::size_t len : {max + 50, max, max - 1}) {
    std::string path = dir / std::string(len, 'n');
    bool cut = len >= max;
    EXPECT_EQ(truncname(path), cut ? 0 : -1) << len;
    EXPECT_EQ(path, dir / std::string(cut ? max - 1 : len, 'n')) << len;
  }
}

// Password database lookups, in a child process under fake users.
TEST(HomeProbe, HomeIsThePlixAccountsHomeAndFeedsTheLog) {
  if (test::nss_wrapper_library().empty()) GTEST_SKIP() << "nss_wrapper not installed";
  test::TempHome home;
  const std::string home_path = std::filesystem::canonical(home.path()).string();
  FakeUsers users;
  users.add_user("plix", 1500, home_path).add_user("eng1", 1600, "/home/eng1");
  users.current_user_as("www");
  auto r = run_site_probe(users, {"gethomedir", "getroot", "log_home", "cdhomedir", "isplix",
                                  "iseplix", "uhomedir=eng1", "uhomedir=nobody-such", "uhomedir="});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "gethomedir: " + home_path + "\ngetroot: " + home_path +
                       "\nlog_home: " + home_path + "\ncdhomedir: 0 " + home_path +
                       "\nisplix: 0\niseplix: 0\nuhomedir: /home/eng1\nuhomedir: \nuhomedir: \n");
  // An empty PLIXHOME counts as unset.
  r = run_site_probe(users, {"gethomedir", "bugpath=ABCde00042"}, {"PLIXHOME="});
  EXPECT_EQ(r.out,
            "gethomedir: " + home_path + "\nbugpath: " + home_path + "/allbugs/42/ABCde00042\n");

  users.current_user_as("plix", home_path);
  r = run_site_probe(users, {"isplix", "iseplix"});
  EXPECT_EQ(r.out, "isplix: 1\niseplix: 1\n") << r.err;
}

}  // namespace
}  // namespace plix

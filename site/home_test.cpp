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

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_site_state();
    reset_log_state();
  }
  void TearDown() override {
    reset_site_state();
    reset_log_state();
  }
  // A home as if gethomedir had run, without a password lookup.
  static void pretend_home(const std::string& home) {
    site_state().home = home;
    site_state().plix_uid = 4242;
  }
};

TEST_F(HomeTest, BugpathTakesSubdirectoryFromNinthAndTenthCharacters) {
  pretend_home("/h");
  struct Case {
    std::string id, path;
  } cases[] = {
      {"ABCde00042", "/h/allbugs/42/ABCde00042"},
      {"ABCde00107", "/h/allbugs/07/ABCde00107"},
      {"ABCde0004299", "/h/allbugs/42/ABCde0004299"},
      // Too short for a subdirectory: an empty segment, nothing read past the end.
      {"ABCde0004", "/h/allbugs//ABCde0004"},
      {"A", "/h/allbugs//A"},
      {"", "/h/allbugs//"},
  };
  for (const auto& c : cases) EXPECT_EQ(bugpath(c.id), c.path) << c.id;
}

TEST_F(HomeTest, GetrootIsTheHomeDirectoryAndRootdirStaysUntilALookupSetsIt) {
  pretend_home("/h");
  EXPECT_EQ(getroot(), "/h");
  EXPECT_EQ(site_state().Rootdir, "");
}

TEST_F(HomeTest, ProgNameIsCopiedAndEmptyUntilSet) {
  EXPECT_EQ(get_prog_name(), "");
  std::string name = "layoutgen";
  set_prog_name(name);
  name = "changed";
  EXPECT_EQ(get_prog_name(), "layoutgen");
}

TEST_F(HomeTest, ResetForgetsTheLogHomeProviderItRegistered) {
  pretend_home("/h");
  log_state().home_provider = &gethomedir;
  reset_site_state();
  EXPECT_EQ(log_state().home_provider, nullptr);
  EXPECT_FALSE(site_state().home.has_value());
}

TEST(Truncname, CutsComponentAtTheLimitToOneLessAndLeavesShorterOnes) {
  test::TempDir dir;
  long name_max = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
  if (::pathconf(dir.path().c_str(), _PC_NO_TRUNC) != 1 || name_max <= 1)
    GTEST_SKIP() << "file system truncates names itself";
  std::size_t max = static_cast<std::size_t>(name_max);
  struct Case {
    std::size_t len;
    bool cut;
  } cases[] = {{max + 50, true}, {max, true}, {max - 1, false}, {3, false}};
  for (const auto& c : cases) {
    std::string path = dir / std::string(c.len, 'n');
    std::string before = path;
    EXPECT_EQ(truncname(path), c.cut ? 0 : -1) << c.len;
    if (c.cut)
      EXPECT_EQ(path, dir / std::string(max - 1, 'n')) << c.len;
    else
      EXPECT_EQ(path, before) << c.len;
  }
}

TEST(Truncname, LeavesPathInMissingDirectoryAlone) {
  std::string path = "/nonexistent-dir-for-truncname/" + std::string(400, 'x');
  std::string before = path;
  EXPECT_EQ(truncname(path), -1);
  EXPECT_EQ(path, before);
}

// --- Password database lookups, in a child process under fake users. ---

class HomeProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::nss_wrapper_library().empty()) GTEST_SKIP() << "nss_wrapper not installed";
    home_path = std::filesystem::canonical(home.path()).string();
  }
  test::TempHome home;
  std::string home_path;
  FakeUsers users;
};

TEST_F(HomeProbeTest, HomeIsThePlixAccountsHomeAndFeedsTheLog) {
  users.add_user("plix", 1500, home_path).current_user_as("www");
  auto r = run_site_probe(users, {"gethomedir", "getroot", "log_home", "cdhomedir"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "gethomedir: " + home_path + "\ngetroot: " + home_path +
                       "\nlog_home: " + home_path + "\ncdhomedir: 0 " + home_path + "\n");
}

TEST_F(HomeProbeTest, PlixhomeOverridesTheAccountsHome) {
  users.add_user("plix", 1500, "/home/plix").current_user_as("www");
  auto r = run_site_probe(users, {"gethomedir", "bugpath=ABCde00042"}, {"PLIXHOME=" + home_path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "gethomedir: " + home_path + "\nbugpath: " + home_path + "/allbugs/42/ABCde00042\n");
}

TEST_F(HomeProbeTest, EmptyPlixhomeCountsAsUnset) {
  users.add_user("plix", 1500, home_path).current_user_as("www");
  auto r = run_site_probe(users, {"gethomedir"}, {"PLIXHOME="});
  EXPECT_EQ(r.out, "gethomedir: " + home_path + "\n");
}

TEST_F(HomeProbeTest, MissingPlixAccountEndsTheProgramEvenWithPlixhome) {
  users.current_user_as("www");
  for (auto extra :
       {std::vector<std::string>{"PLIXHOME=" + home_path}, std::vector<std::string>{}}) {
    auto r = run_site_probe(users, {"gethomedir"}, extra);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERROR: no password entry for \"plix\".\n");
  }
  // isplix needs the account too.
  auto r = run_site_probe(users, {"isplix"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERROR: no password entry for \"plix\".\n");
}

TEST_F(HomeProbeTest, IsplixComparesRealAndEffectiveIdsWithTheAccount) {
  users.add_user("plix", 1500, home_path).current_user_as("www");
  auto r = run_site_probe(users, {"isplix", "iseplix"});
  EXPECT_EQ(r.out, "isplix: 0\niseplix: 0\n") << r.err;

  users.current_user_as("plix", home_path);
  r = run_site_probe(users, {"isplix", "iseplix"});
  EXPECT_EQ(r.out, "isplix: 1\niseplix: 1\n") << r.err;
}

TEST_F(HomeProbeTest, UhomedirLooksUpAnyUser) {
  users.add_user("plix", 1500, home_path).add_user("eng1", 1600, "/home/eng1");
  auto r = run_site_probe(users, {"uhomedir=eng1", "uhomedir=nobody-such", "uhomedir="});
  EXPECT_EQ(r.out, "uhomedir: /home/eng1\nuhomedir: \nuhomedir: \n") << r.err;
}

}  // namespace
}  // namespace plix

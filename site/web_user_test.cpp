#include "site/web_user.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

#include "tests/support/numbered.h"
#include "tests/support/site_probe.h"
#include "tests/support/temp_home.h"
#include "util/file_access.h"

namespace plix {
namespace {

using test::FakeUsers;
using test::run_site_probe;

// --- Without the password database. ---

class WebUserTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_web_user_state(); }
  void TearDown() override { reset_web_user_state(); }
  test::TempDir dir;
};

TEST_F(WebUserTest, HttpUserIsTheFirstLineCutTo1023Characters) {
  EXPECT_EQ(get_http_user(), std::nullopt);  // no file set
  set_http_file(dir / "missing");
  EXPECT_EQ(get_http_user(), std::nullopt);
  EXPECT_EQ(is_http(), 0);
  struct Case {
    std::string content;
    std::optional<std::string> user;
  } cases[] = {{"www", "www"},
               {"www\nsecond\n", "www"},
               {"\nwww\n", std::nullopt},
               {std::string("ww\0w\n", 5), "ww"},
               {std::string(1500, 'u'), std::string(1023, 'u')}};
  for (const auto& c : cases) {
    test::write_file(dir / "http_user", c.content);
    set_http_file(dir / "http_user");
    EXPECT_EQ(get_http_user(), c.user) << c.content.size();
  }
}

// switch_to_user needs distinct real and effective ids, which only root can
// set up; the child reports through its exit status.
TEST_F(WebUserTest, SwitchToUserTogglesBetweenRealAndStartingEffectiveId) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the process two ids";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::setreuid(4321, 0) != 0) ::_exit(10);
    if (switch_to_user(1) != 0 || ::geteuid() != 4321) ::_exit(11);
    if (switch_to_user(0) != 0 || ::geteuid() != 0) ::_exit(12);
    if (switch_to_user(1) != 0 || ::geteuid() != 4321) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// --- File permissions: owner, then group, then others; no favours for root. ---

class PlixAccessTest : public ::testing::Test {
 protected:
  std::string make(mode_t mode) {
    std::string path = dir / test::numbered("f", n_++);
    test::write_file(path, "x");
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }
  test::TempDir dir;

 private:
  int n_ = 0;
};

TEST_F(PlixAccessTest, OwnerBitsDecideForOwnFilesEvenForRoot) {
  EXPECT_EQ(plix_access(make(0), 0), 0);  // mode 0 asks only for existence
  EXPECT_EQ(plix_access(dir / "missing", 0), -1);
  EXPECT_EQ(q_access(dir / "missing", 4), -1);
  struct Case {
    mode_t file;
    int mode, result;
  } cases[] = {
      {0077, 4, -1}, {0400, 4, 0},  {0400, 6, -1}, {0600, 6, 0},
      {0500, 1, 0},  {0200, 4, -1}, {0644, 12, 0},  // bits above the low three are ignored
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plix_access(make(c.file), c.mode), c.result)
        << std::oct << c.file << " mode " << c.mode;
  }
}

TEST_F(PlixAccessTest, GroupThenOtherBitsDecideForOthersFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
  const uid_t stranger = 4242;
  struct Case {
    gid_t group;
    mode_t file;
    int mode, result;
  } cases[] = {
      // A stranger's file in a stranger's group: the bits for others.
      {4242, 0004, 4, 0},
      {4242, 0440, 4, -1},
      // A stranger's file in our group: the group bits, others do not count.
      {::getgid(), 0040, 4, 0},
      {::getgid(), 0004, 4, -1},
  };
  for (const auto& c : cases) {
    std::string path = make(c.file);
    ASSERT_EQ(::chown(path.c_str(), stranger, c.group), 0);
    EXPECT_EQ(plix_access(path, c.mode), c.result)
        << "gid " << c.group << " " << std::oct << c.file << " mode " << c.mode;
  }
}

// --- The web user, in a child process under fake users. ---

class WebUserProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::nss_wrapper_library().empty()) GTEST_SKIP() << "nss_wrapper not installed";
    users.add_user("plix", 1500, home.path());
  }
  test::TempHome home;
  FakeUsers users;
};

TEST_F(WebUserProbeTest, HttpInitTakesConfHttpUserOnlyWhenItExists) {
  std::vector<std::string> env{"PLIXHOME=" + home.path()};
  auto r = run_site_probe(users, {"http_init", "get_http_file", "get_http_user"}, env);
  EXPECT_EQ(r.out, "http_init: ok\nget_http_file: (null)\nget_http_user: (null)\n") << r.err;

  home.file("conf/http_user", "www\n", 0);
  r = run_site_probe(users, {"http_init", "get_http_file"}, env);
  EXPECT_EQ(r.out, "http_init: ok\nget_http_file: " + home.path() + "/conf/http_user\n") << r.err;
}

TEST_F(WebUserProbeTest, RemoteUserIsTheWebUserOnlyForTheHttpAccount) {
  users.current_user_as("www");
  struct Case {
    const char* http_user;    // null: no file
    const char* remote_user;  // null: unset
    const char* expect;
    const char* is_http;
  } cases[] = {{"www\n", "web1", "web1", "1"}, {"www\n", "", "www", "1"},
               {"www\n", nullptr, "www", "1"}, {"apache\n", "web1", "www", "0"},
               {"www2\n", "web1", "www", "0"}, {nullptr, "web1", "www", "0"}};
  for (const auto& c : cases) {
    test::TempHome h;
    if (c.http_user) h.file("conf/http_user", c.http_user);
    std::vector<std::string> extra{"PLIXHOME=" + h.path()};
    if (c.remote_user) extra.push_back(std::string("REMOTE_USER=") + c.remote_user);
    auto r = run_site_probe(users, {"http_init", "is_http", "ruserid", "ruserid"}, extra);
    std::string name = c.expect;
    EXPECT_EQ(r.out, std::string("http_init: ok\nis_http: ") + c.is_http + "\nruserid: " + name +
                         "\nruserid: " + name + "\n")
        << (c.http_user ? c.http_user : "(no file)") << " / "
        << (c.remote_user ? c.remote_user : "(unset)") << r.err;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(WebUserProbeTest, RealUserWithoutNameHasNoWebUserAndIsToldOnce) {
  std::vector<std::string> args{"ruserid", "ruserid"};
  unsigned uid = ::getuid();
  if (uid == 0) {
    // Root always has a fake entry; drop the real uid to a nameless one.
    uid = 54321;
    args.insert(args.begin(), "real_uid=54321");
  }
  auto r = run_site_probe(users, args, {"PLIXHOME=" + home.path(), "REMOTE_USER=web1"});
  std::string expect = "ruserid: (null)\nruserid: (null)\n";
  if (args.size() == 3) expect = "real_uid: 0\n" + expect;
  EXPECT_EQ(r.out, expect);
  EXPECT_EQ(r.err, "No password file entry for user #" + std::to_string(uid) + ".\n");
}

}  // namespace
}  // namespace plix

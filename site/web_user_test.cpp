#include "site/web_user.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <tuple>

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
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"www", "www"},
      {"www\nsecond\n", "www"},
      {"\nwww\n", std::nullopt},
      {std::string("ww\0w\n", 5), "ww"},
      {std::string(1500, 'u'), std::string(1023, 'u')}};
  for (const auto& [content, user] : cases) {
    test::write_file(dir / "http_user", content);
    set_http_file(dir / "http_user");
    EXPECT_EQ(get_http_user(), user) << content.size();
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

// File permissions: owner, then group, then others; no favours for root. Mode 0 asks only
// for existence; bits above the low three are ignored.
TEST(PlixAccess, OwnerThenGroupThenOtherBitsDecide) {
  test::TempDir dir;
  EXPECT_EQ(plix_access(dir / "missing", 0), -1);
  EXPECT_EQ(q_access(dir / "missing", 4), -1);
  const uid_t me = ::geteuid(), other = 4242;
  const gid_t ours = ::getgid(), theirs = 4242;
  const struct {
    uid_t owner;
    gid_t group;
    mode_t file;
    int mode, result;
  } cases[] = {
      {me, ours, 0, 0, 0},          {me, ours, 0077, 4, -1},   {me, ours, 0400, 4, 0},
      {me, ours, 0400, 6, -1},      {me, ours, 0600, 6, 0},    {me, ours, 0500, 1, 0},
      {me, ours, 0200, 4, -1},      {me, ours, 0644, 12, 0},   {other, theirs, 0004, 4, 0},
      {other, theirs, 0440, 4, -1}, {other, ours, 0040, 4, 0}, {other, ours, 0004, 4, -1},
  };
  int n = 0;
  for (const auto& c : cases) {
    if (c.owner != me && me != 0) continue;  // only root can give files away
    const std::string path = dir / std::to_string(n++);
    test::write_file(path, "x", c.file);
    ASSERT_EQ(::chown(path.c_str(), c.owner, c.group), 0);
    EXPECT_EQ(plix_access(path, c.mode), c.result) << "uid " << c.owner << " gid " << c.group << " "
                                                   << std::oct << c.file << " mode " << c.mode;
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

TEST_F(WebUserProbeTest, RemoteUserIsTheWebUserOnlyForTheHttpAccount) {
  users.current_user_as("www");
  // conf/http_user (null: none), REMOTE_USER (null: unset), then is_http and the web user.
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"www\n", "web1", "1 web1"},   {"www\n", "", "1 www"},      {"www\n", nullptr, "1 www"},
      {"apache\n", "web1", "0 www"}, {"www2\n", "web1", "0 www"}, {nullptr, "web1", "0 www"}};
  for (const auto& [http_user, remote_user, want] : cases) {
    SCOPED_TRACE(std::string(http_user ? http_user : "(no file)") + " / " +
                 (remote_user ? remote_user : "(unset)"));
    test::TempHome h;
    if (http_user) h.file("conf/http_user", http_user);
    std::vector<std::string> env{"PLIXHOME=" + h.path()};
    if (remote_user) env.push_back(std::string("REMOTE_USER=") + remote_user);
    auto r = run_site_probe(users, {"http_init", "is_http", "ruserid", "ruserid"}, env);
    const std::string name = want.substr(2);
    EXPECT_EQ(r.out, "http_init: ok\nis_http: " + want.substr(0, 1) + "\nruserid: " + name +
                         "\nruserid: " + name + "\n");
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

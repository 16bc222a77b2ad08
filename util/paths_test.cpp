#include "util/paths.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <optional>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace plix {
namespace {

using test::TempDir;
using test::write_file;

// Sets an environment variable (or unsets it for nullopt) for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_); }

 private:
  void set(const std::optional<std::string>& v) {
    v ? ::setenv(name_, v->c_str(), 1) : ::unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> old_;
};

// Changes the working directory for one test.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) : old_(cwd()) {
    EXPECT_EQ(::chdir(dir.c_str()), 0) << dir;
  }
  ~ScopedCwd() { (void)::chdir(old_.c_str()); }
  static std::string cwd() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? buf : "";
  }

 private:
  std::string old_;
};

TEST(NormalizePath, ResolvesAbsolutePaths) {
  // An empty component stays unless ".." removes it; "tmp_mnt" goes at the root only.
  const std::pair<std::string, std::string> cases[] = {
      {"/a/./b/../c//", "/a/c"},
      {"/../../x", "/x"},
      {"/a//b", "/a//b"},
      {"/a//..", "/a"},
      {"/tmp_mnt/home/x", "/home/x"},
      {"/tmp_mnt", "/"},
      {"/tmp_mntx/y", "/tmp_mntx/y"},
      {"/x/tmp_mnt/y", "/x/tmp_mnt/y"},
      {"/a/../tmp_mnt/b", "/b"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(normalize_path(in, false), want) << in;
}

TEST(NormalizePath, PutsRelativePathsAfterTheWorkingDirectory) {
  TempDir dir;
  test::make_dirs(dir / "sub");
  ScopedCwd cwd(dir / "sub");
  const std::string here = ScopedCwd::cwd();
  const std::string parent = here.substr(0, here.rfind('/'));
  EXPECT_EQ(normalize_path("", false), here);
  EXPECT_EQ(normalize_path("x/../y/", false), here + "/y");
  EXPECT_EQ(normalize_path("../z", false), parent + "/z");
  std::string up;
  for (int i = 0; i < 40; ++i) up += "../";
  EXPECT_EQ(normalize_path(up + "etc", false), "/etc");
  ScopedCwd root("/");  // and the automount prefix goes
  EXPECT_EQ(normalize_path("tmp_mnt/x", false), "/x");
  EXPECT_EQ(normalize_path("", false), "/");
}

TEST(NormalizePath, ExpandsSetEnvironmentVariablesThatFit) {
  ScopedEnv dir("PLIXT_DIR", "/e/f");
  ScopedEnv up("PLIXT_UP", "..");
  ScopedEnv unset("PLIXT_UNSET", std::nullopt);
  const std::string fits = "/" + std::string(kMaxPathLength - 10, 'f');
  ScopedEnv big("PLIXT_BIG", "/" + std::string(kMaxPathLength, 'b'));
  ScopedEnv fit("PLIXT_FITS", fits);
  const std::pair<std::string, std::string> cases[] = {
      {"$PLIXT_DIR/g", "/e/f/g"},
      {"/a/$PLIXT_UNSET/b", "/a/$PLIXT_UNSET/b"},
      {"$PLIXT_DIR/x/$PLIXT_UP/y", "/e/f/y"},
      {"/a/$$PLIXT_DIR", "/a/$/e/f"},
      {"/a/$PLIXT_DIR=x", "/a/$PLIXT_DIR=x"},
      {"/a/$PLIXT_BIG", "/a/$PLIXT_BIG"},  // its value would make the path too long
      {"$PLIXT_FITS/c", fits + "/c"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(normalize_path(in, false), want) << in;
}

TEST(NormalizePath, TildeRestartsAtTheHomeDirectory) {
  const struct passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  const std::string user = pw->pw_name;
  const std::string home = normalize_path(pw->pw_dir, false);
  const std::string sep = home == "/" ? "" : "/";
  EXPECT_EQ(normalize_path("~", false), home);
  EXPECT_EQ(normalize_path("/a/b/~/c", false), home + sep + "c");
  EXPECT_EQ(normalize_path("~" + user + "/d", false), home + sep + "d");
  EXPECT_EQ(normalize_path("/q/~/r/~" + user, false), home);  // the last "~" counts
  ScopedEnv tilde("PLIXT_TILDE", "~");
  EXPECT_EQ(normalize_path("/z/$PLIXT_TILDE/e", false), home + sep + "e");
}

TEST(NormalizePath, UnknownUserLeavesThePathAsWritten) {
  EXPECT_EQ(normalize_path("/x/~plix_no_such_user/y/..", false), "/x/~plix_no_such_user");
  // Not put after the working directory either.
  EXPECT_EQ(normalize_path("~plix_no_such_user/a", false), "~plix_no_such_user/a");
  EXPECT_EQ(normalize_path("~plix_no_such_user/../../b", false), "../b");
}

TEST(MaskPath, PutsThePrefixBackInFrontOfItsNormalForm) {
  TempDir dir;
  test::make_dirs(dir / "real");
  ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "lnk").c_str()), 0);
  const std::string root = normalize_path(dir.path(), false);

  const std::string prefix = dir / "sub/../real";
  EXPECT_EQ(mask_path(root + "/real/file", prefix, false), prefix + "/file");
  EXPECT_EQ(mask_path("/elsewhere/file", prefix, false), std::nullopt);

  // The prefix names a symbolic link: its target is masked as well.
  const std::string via_link = dir / "./lnk";
  EXPECT_EQ(mask_path(dir / "real/x", via_link, false), via_link + "/x");

  // A prefix that is already normal masks nothing.
  EXPECT_EQ(mask_path(root + "/real/file", root + "/real", false), std::nullopt);
}

TEST(Which, SearchesNonEmptyPathPartsInOrder) {
  TempDir dir;
  write_file(dir / "bin1/prog", "not executable", 0644);
  write_file(dir / "bin2/prog", "#!/bin/sh\n", 0755);
  write_file(dir / "bin3/prog", "#!/bin/sh\n", 0755);
  ScopedCwd cwd(dir.path());  // "prog" alone must not name a file here
  ScopedEnv path("PATH", "::" + dir / "bin1" + ":" + dir / "missing" + "::" + dir / "bin2" + ":" +
                             dir / "bin3" + ":");
  EXPECT_EQ(which("prog"), dir / "bin2/prog");
  EXPECT_EQ(which("nothing"), std::nullopt);
  EXPECT_EQ(which(""), std::nullopt);
  EXPECT_EQ(which(dir / "bin3/prog"), dir / "bin3/prog");  // executable itself
  ScopedEnv nopath("PATH", std::nullopt);
  EXPECT_EQ(which("prog"), std::nullopt);
  EXPECT_EQ(which(dir / "bin3/prog"), dir / "bin3/prog");
}

TEST(ArchName, CutsAtFirstDotAfterADigitAndArchdirCachesIt) {
  struct Case {
    const char *sys, *release, *version, *want;
  };
  const Case cases[] = {
      {"Linux", "6.1.0-18-amd64", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1", "Linux_6"},
      {"SunOS", "5.8", "Generic_108528-29", "SunOS_5"},
      {"HP-UX", "B.11.00", "A", "HP-UX_B_11"},
      {"My OS", "a/b", "v x", "My_OS_a_b_v_x"},
  };
  for (const auto& c : cases) EXPECT_EQ(arch_name(c.sys, c.release, c.version), c.want) << c.sys;
  reset_path_state();
  path_state().arch = "cached";
  EXPECT_EQ(archdir(std::string("/opt/bin")), "/opt/bin_cached");
  reset_path_state();
}

TEST(BasenameDirname, SplitAtTheLastSlash) {
  const std::pair<std::string, std::string> base[] = {
      {"/a/b", "b"}, {"b", "b"}, {"", ""}, {"a/b/", ""}};
  for (const auto& [in, want] : base) EXPECT_EQ(plix::basename(in), want) << in;
  const std::pair<std::string, std::string> dir[] = {
      {"/file", "/"}, {"file", "."}, {"a/b/", "a"},           {"///", "/"},
      {"a//b", "a"},  {"//a", "/"},  {"/a/b/../c", "/a/b/.."}};
  for (const auto& [in, want] : dir) EXPECT_EQ(plix::dirname(in), want) << in;
}

}  // namespace
}  // namespace plix

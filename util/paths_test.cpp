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

// Sets an environment variable (or unsets it for nullopt) until the end of the scope.
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

std::string cwd() {
  char buf[4096];
  return ::getcwd(buf, sizeof buf) ? buf : "";
}

// Changes the working directory until the end of the scope.
struct ScopedCwd {
  explicit ScopedCwd(const std::string& dir) { EXPECT_EQ(::chdir(dir.c_str()), 0) << dir; }
  ~ScopedCwd() { (void)::chdir(old.c_str()); }
  std::string old = cwd();
};

void replace_all(std::string& s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

TEST(NormalizePath, ResolvesDotsVariablesHomesAndTheWorkingDirectory) {
  TempDir dir;
  test::make_dirs(dir / "sub");
  ScopedCwd sub(dir / "sub");
  const struct passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  const std::string home = normalize_path(pw->pw_dir, false);
  const std::string here = cwd();
  const std::string fits = "/" + std::string(kMaxPathLength - 10, 'f');
  ScopedEnv d("PLIXT_DIR", "/e/f"), up("PLIXT_UP", ".."), unset("PLIXT_UNSET", std::nullopt),
      tilde("PLIXT_TILDE", "~"), fit("PLIXT_FITS", fits),
      big("PLIXT_BIG", "/" + std::string(kMaxPathLength, 'b'));
  std::string up40;
  for (int i = 0; i < 40; ++i) up40 += "../";
  // @C the working directory, @P its parent, @H the user's home, @U the user's name.
  const std::pair<std::string, std::string> cases[] = {
      {"/a/./b/../c//", "/a/c"},
      {"/../../x", "/x"},
      {"/a//b", "/a//b"},  // an empty component stays unless ".." removes it
      {"/a//..", "/a"},
      {"/tmp_mnt/home/x", "/home/x"},  // "tmp_mnt" goes at the root only
      {"/tmp_mnt", "/"},
      {"/tmp_mntx/y", "/tmp_mntx/y"},
      {"/x/tmp_mnt/y", "/x/tmp_mnt/y"},
      {"/a/../tmp_mnt/b", "/b"},
      {"", "@C"},
      {"x/../y/", "@C/y"},
      {"../z", "@P/z"},
      {up40 + "etc", "/etc"},
      {"$PLIXT_DIR/g", "/e/f/g"},
      {"/a/$PLIXT_UNSET/b", "/a/$PLIXT_UNSET/b"},
      {"$PLIXT_DIR/x/$PLIXT_UP/y", "/e/f/y"},
      {"/a/$$PLIXT_DIR", "/a/$/e/f"},
      {"/a/$PLIXT_DIR=x", "/a/$PLIXT_DIR=x"},
      {"/a/$PLIXT_BIG", "/a/$PLIXT_BIG"},  // its value would make the path too long
      {"$PLIXT_FITS/c", fits + "/c"},
      {"~", "@H"},
      {"/a/b/~/c", "@H/c"},
      {"~@U/d", "@H/d"},
      {"/q/~/r/~@U", "@H"},  // the last "~" counts
      {"/z/$PLIXT_TILDE/e", "@H/e"},
      // An unknown user leaves the path as written, not put after the working directory.
      {"/x/~plix_no_such_user/y/..", "/x/~plix_no_such_user"},
      {"~plix_no_such_user/a", "~plix_no_such_user/a"},
      {"~plix_no_such_user/../../b", "../b"},
  };
  for (auto [in, want] : cases) {
    replace_all(in, "@U", pw->pw_name);
    replace_all(want, "@H/", home == "/" ? "/" : home + "/");
    replace_all(want, "@H", home);
    replace_all(want, "@C", here);
    replace_all(want, "@P", here.substr(0, here.rfind('/')));
    EXPECT_EQ(normalize_path(in, false), want) << in;
  }
  ScopedCwd root("/");  // and the automount prefix goes
  EXPECT_EQ(normalize_path("tmp_mnt/x", false), "/x");
  EXPECT_EQ(normalize_path("", false), "/");
}

TEST(MaskPath, PutsThePrefixBackInFrontOfItsNormalForm) {
  TempDir dir;
  test::make_dirs(dir / "real");
  ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "lnk").c_str()), 0);
  const std::string root = normalize_path(dir.path(), false);
  const std::string prefix = dir / "sub/../real";
  EXPECT_EQ(mask_path(root + "/real/file", prefix, false), prefix + "/file");
  EXPECT_EQ(mask_path("/elsewhere/file", prefix, false), std::nullopt);
  // Through a symbolic link's target; an already normal prefix masks nothing.
  EXPECT_EQ(mask_path(dir / "real/x", dir / "./lnk", false), dir / "./lnk/x");
  EXPECT_EQ(mask_path(root + "/real/file", root + "/real", false), std::nullopt);
}

TEST(Which, SearchesNonEmptyPathPartsInOrder) {
  TempDir dir;
  test::write_file(dir / "bin1/prog", "not executable", 0644);
  test::write_file(dir / "bin2/prog", "#!/bin/sh\n", 0755);
  test::write_file(dir / "bin3/prog", "#!/bin/sh\n", 0755);
  const std::string own = dir / "bin3/prog";
  ScopedCwd here(dir.path());  // "prog" alone must not name a file here
  ScopedEnv path("PATH", "::" + dir / "bin1" + ":" + dir / "missing" + "::" + dir / "bin2" + ":" +
                             dir / "bin3" + ":");
  EXPECT_EQ(which("prog"), dir / "bin2/prog");
  EXPECT_EQ(which("nothing"), std::nullopt);
  EXPECT_EQ(which(""), std::nullopt);
  EXPECT_EQ(which(own), own);  // executable itself
  ScopedEnv nopath("PATH", std::nullopt);
  EXPECT_EQ(which("prog"), std::nullopt);
  EXPECT_EQ(which(own), own);
}

TEST(ArchName, CutsAtFirstDotAfterADigitAndArchdirCachesIt) {
  EXPECT_EQ(arch_name("Linux", "6.1.0-18-amd64", "#1 SMP Debian 6.1.76-1"), "Linux_6");
  EXPECT_EQ(arch_name("HP-UX", "B.11.00", "A"), "HP-UX_B_11");
  EXPECT_EQ(arch_name("My OS", "a/b", "v x"), "My_OS_a_b_v_x");
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

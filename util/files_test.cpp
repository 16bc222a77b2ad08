#include "util/files.h"

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace plix {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

mode_t mode_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  return names;
}

TEST(Buf2file, RoundTripsBinaryAndEmptyTextsRefusalsLeaveErrnoZero) {
  TempDir dir;
  errno = EBADF;
  EXPECT_EQ(buf2file("", "x"), 0);
  EXPECT_EQ(errno, 0);
  errno = EBADF;
  EXPECT_EQ(buf2file(dir / "f", static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(buf2file(dir / "missing/f", "x"), 0);
  EXPECT_EQ(errno, ENOENT);

  const std::string path = dir / "f";
  const std::string binary("a\0b\n\xff\0", 6);
  ASSERT_EQ(buf2file(path, binary), 1);
  EXPECT_EQ(file2buf(path), binary);
  ASSERT_EQ(buf2file(path, ""), 1);
  EXPECT_EQ(file2buf(path), std::optional<std::string>(""));
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"f"}) << "no temporary left behind";
}

TEST(Buf2file, NewFileGets0666LessUmaskAndOldFileKeepsModeAndLink) {
  TempDir dir;
  ::umask(022);
  ASSERT_EQ(buf2file(dir / "new", "x"), 1);
  EXPECT_EQ(mode_of(dir / "new"), 0644u);

  write_file(dir / "old", "a much longer old content", 0600);
  ASSERT_EQ(::symlink((dir / "old").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(buf2file(dir / "link", "short"), 1);
  EXPECT_EQ(read_file(dir / "old"), "short");
  EXPECT_EQ(mode_of(dir / "old"), 0600u);
  struct stat st;
  ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(Buf2file, FailedWriteKeepsTheOldContent) {
  TempDir dir;
  const std::string path = dir / "keep";
  write_file(path, "precious");
  // The child hits a file size limit mid-write; the old file must survive.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {4, 4};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    int rc = buf2file(path, std::string(100, 'z'));
    ::_exit(rc == 0 && errno == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(path), "precious");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"keep"});
}

TEST(File2buf, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  EXPECT_FALSE(file2buf("").has_value());
  errno = 0;
  EXPECT_FALSE(file2buf(dir / "missing").has_value());
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(file2buf(dir.path()).has_value());
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(file2buf("/dev/null").has_value());
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(file2buf(dir / "fifo").has_value());  // and does not hang
  // Nor is a FIFO written: only regular files are replaced, devices written.
  EXPECT_EQ(buf2file(dir / "fifo", "x"), 0);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(buf2file("/dev/null", "x"), 1);
}

TEST(Copyfile, OverwritesExactlyAddsRwToTheModeAndNeverCopiesOntoItself) {
  TempDir dir;
  ::umask(022);
  const std::string content("short\0!", 7);
  write_file(dir / "src", content, 0700);
  write_file(dir / "dst", std::string(20000, 'L'));
  ASSERT_EQ(copyfile(dir / "src", dir / "dst"), 0);
  EXPECT_EQ(read_file(dir / "dst"), content);
  ASSERT_EQ(copyfile(dir / "src", dir / "new"), 0);
  EXPECT_EQ(mode_of(dir / "new"), 0744u);

  EXPECT_EQ(copyfile(dir / "src", dir / "src"), -1);
  EXPECT_EQ(read_file(dir / "src"), content);
  // A link planted at the target is not written through.
  write_file(dir / "victim", "keep");
  ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "planted").c_str()), 0);
  EXPECT_EQ(copyfile(dir / "src", dir / "planted"), -1);
  EXPECT_EQ(copy_to_new(dir / "src", dir / "planted", 0600), -1);
  EXPECT_EQ(read_file(dir / "victim"), "keep");
  ASSERT_EQ(copy_to_new(dir / "src", dir / "private", 0600), 0);
  EXPECT_EQ(mode_of(dir / "private"), 0600u);
  EXPECT_EQ(copy_to_new(dir / "src", dir / "private", 0600), -1);
  EXPECT_EQ(errno, EEXIST);
  errno = 0;
  EXPECT_EQ(copyfile(dir / "missing", dir / "out"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(access((dir / "out").c_str(), F_OK), -1);
}

// Runs skip over text; returns its result and the rest of the stream.
std::pair<int, std::string> skip_over(const std::string& text) {
  std::string copy = text;
  std::FILE* fp = ::fmemopen(copy.data(), copy.size(), "r");
  if (fp == nullptr) return {0, "fmemopen failed"};
  int rc = skip(fp);
  std::string rest;
  for (int c; (c = std::getc(fp)) != EOF;) rest += static_cast<char>(c);
  std::fclose(fp);
  return {rc, rest};
}

TEST(Skip, PassesWhiteSpaceAndCommentLines) {
  using R = std::pair<int, std::string>;
  EXPECT_EQ(skip_over("  # comment\n\t\n   # more # still comment\nX rest\n"), (R{1, "X rest\n"}));
  EXPECT_EQ(skip_over("\n\n  #x\n  y#z"), (R{1, "y#z"}));
  EXPECT_EQ(skip_over(""), (R{-1, ""}));
  EXPECT_EQ(skip_over(" \t\n"), (R{-1, ""}));
  EXPECT_EQ(skip_over("# comment without newline"), (R{-1, ""}));
}

}  // namespace
}  // namespace plix

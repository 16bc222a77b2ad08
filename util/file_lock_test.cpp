#include "util/file_lock.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <random>
#include <string>

#include "tests/support/temp_dir.h"

namespace plix {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

int wait_child(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// Adds one to the number in `path` under its lock, `times` times over.
void count_up(const std::string& path, int times) {
  for (int i = 0; i < times; ++i) {
    FileLock lock(path);
    if (lock.acquire() != 0) ::_exit(2);
    int n = std::stoi(read_file(path));
    if (lock.writer().open() != 0) ::_exit(3);
    std::fprintf(lock.writer().stream(), "%d\n", n + 1);
    if (lock.commit() != 0) ::_exit(4);
  }
}

TEST(FileLock, ConcurrentWritersLoseNoUpdate) {
  TempDir dir;
  const std::string path = dir / "counter";
  write_file(path, "0\n");
  std::vector<pid_t> kids;
  for (int k = 0; k < 4; ++k) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      count_up(path, 50);
      ::_exit(0);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = wait_child(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(read_file(path), "200\n");
  EXPECT_EQ(::access((path + ".lock").c_str(), F_OK), -1);
}

TEST(FileLock, HeldLocksAreNeverBrokenAndTheWaitIsBounded) {
  TempDir dir;
  const std::string path = dir / "rec";
  FileLock mine(path);
  ASSERT_EQ(mine.acquire(), 0);
  // However old it looks, a lock whose holder lives stays.
  struct timespec old[2] = {{1, 0}, {1, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, mine.lock_path().c_str(), old, 0), 0);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    FileLock other(path);
    auto start = std::chrono::steady_clock::now();
    int rc = other.acquire(300);
    auto waited = std::chrono::steady_clock::now() - start;
    ::_exit(rc == -1 && errno == EWOULDBLOCK && waited >= std::chrono::milliseconds(300) ? 0 : 1);
  }
  int status = wait_child(pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The same process asking again is told so at once.
  FileLock again(path);
  EXPECT_EQ(again.acquire(), -1);
  EXPECT_EQ(errno, EDEADLK);
  mine.release();
  EXPECT_EQ(again.acquire(0), 0);
}

TEST(FileLock, StaleLocksAreBroken) {
  TempDir dir;
  const std::string path = dir / "rec";
  // A holder that died holding it: its flock went with it.
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    FileLock dying(path);
    if (dying.acquire() != 0) ::_exit(1);
    ::_exit(0);  // no destructor runs: the lock file stays
  }
  ASSERT_EQ(wait_child(pid), 0);
  ASSERT_EQ(::access((path + ".lock").c_str(), F_OK), 0);
  FileLock lock(path);
  EXPECT_EQ(lock.acquire(0), 0);
  lock.release();

  // Who left it is unknown, but nobody has touched it for long.
  write_file(path + ".lock", "");
  struct timespec old[2] = {{1, 0}, {1, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (path + ".lock").c_str(), old, 0), 0);
  EXPECT_EQ(lock.acquire(0), 0);
  // A fresh one of unknown origin is waited for.
  lock.release();
  write_file(path + ".lock", "");
  EXPECT_EQ(lock.acquire(100), -1);
  EXPECT_EQ(errno, EWOULDBLOCK);
}

TEST(AtomicFile, AKilledWriterLeavesTheOldOrTheNewFileNeverATornOne) {
  TempDir dir;
  const std::string path = dir / "rec";
  const std::string a(300000, 'a'), b(200000, 'b');
  write_file(path, a);
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0;; ++i) {
        const std::string& text = i % 2 ? a : b;
        if (replace_file(path, text.data(), text.size()) != 0) ::_exit(1);
      }
    }
    ::usleep(static_cast<useconds_t>(rng() % 20000));
    ::kill(pid, SIGKILL);
    wait_child(pid);
    std::string now = read_file(path);
    ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
  }
}

TEST(AtomicFile, RollbackAndDestructionLeaveNothingBehind) {
  TempDir dir;
  const std::string path = dir / "rec";
  {
    AtomicFile f(path);
    ASSERT_EQ(f.open(), 0);
    std::fputs("new", f.stream());
  }
  EXPECT_EQ(::access(path.c_str(), F_OK), -1);
  FileLock lock(path);
  ASSERT_EQ(lock.acquire(), 0);
  ASSERT_EQ(lock.writer().open(), 0);
  std::string temp = lock.writer().temp_path();
  lock.rollback();
  EXPECT_EQ(::access(temp.c_str(), F_OK), -1);
  EXPECT_EQ(::access(lock.lock_path().c_str(), F_OK), -1);
}

}  // namespace
}  // namespace plix

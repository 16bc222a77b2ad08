#include "util/file_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace plix {

namespace {

std::string host_name() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "-";
  return buf[0] != '\0' ? std::string(buf) : std::string("-");
}

std::string owner_text() {
  return std::to_string(::getpid()) + " " + host_name() + "\n";
}

struct Owner {
  long pid = 0;
  std::string host;
};

// The "PID HOST" a holder wrote; pid 0 when there is none.
Owner read_owner(int fd) {
  char buf[512];
  ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  Owner o;
  if (n <= 0) return o;
  buf[n] = '\0';
  char* end = nullptr;
  long pid = std::strtol(buf, &end, 10);
  if (end == buf || *end != ' ' || pid <= 0) return o;
  std::string rest(end + 1);
  std::size_t nl = rest.find('\n');
  if (nl == std::string::npos) return o;
  o.pid = pid;
  o.host = rest.substr(0, nl);
  return o;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

enum class Probe { kGone, kHeld, kHeldByUs, kKept, kBroken };

// Looks at an existing lock file: removes it when it is stale.
Probe probe(const std::string& lock_path) {
  UniqueFd fd(::open(lock_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return errno == ENOENT ? Probe::kGone : Probe::kKept;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Probe::kKept;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    Owner o = read_owner(fd.get());
    if (o.pid == ::getpid() && o.host == host_name()) return Probe::kHeldByUs;
    return Probe::kHeld;
  }
  Owner o = read_owner(fd.get());
  bool dead = o.pid > 0 && o.host == host_name() && ::kill(static_cast<pid_t>(o.pid), 0) != 0 &&
              errno == ESRCH;
  bool old = std::time(nullptr) - st.st_mtime >= kLockStaleSeconds;
  if (!dead && !old) return Probe::kKept;
  // Only the very file examined goes: another process may have broken it
  // and taken the lock meanwhile.
  struct stat now;
  if (::lstat(lock_path.c_str(), &now) == 0 && same_file(now, st)) ::unlink(lock_path.c_str());
  return Probe::kBroken;
}

}  // namespace

FileLock::FileLock(std::string target, std::string_view suffix)
    : lock_path_(target + std::string(suffix)), writer_(std::move(target)) {}

FileLock::~FileLock() {
  rollback();
}

int FileLock::try_create() {
  UniqueFd fd(
      ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0660));
  if (!fd) return -1;
  // A prober may hold the flock for a moment (it finds the file empty and
  // young, so it leaves it): wait for it rather than fail.
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      int err = errno;
      ::unlink(lock_path_.c_str());
      errno = err;
      return -1;
    }
  }
  std::string owner = owner_text();
  if (::write(fd.get(), owner.data(), owner.size()) != static_cast<ssize_t>(owner.size())) {
    int err = errno != 0 ? errno : EIO;
    ::unlink(lock_path_.c_str());
    errno = err;
    return -1;
  }
  fd_ = std::move(fd);
  return 0;
}

int FileLock::acquire(int wait_ms) {
  if (held()) return 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    if (try_create() == 0) return 0;
    if (errno != EEXIST) return -1;
    switch (probe(lock_path_)) {
      case Probe::kGone:
      case Probe::kBroken:
        continue;
      case Probe::kHeldByUs:
        errno = EDEADLK;
        return -1;
      case Probe::kHeld:
      case Probe::kKept:
        break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = EWOULDBLOCK;
      return -1;
    }
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(100)) pause *= 2;
  }
}

void FileLock::release() {
  if (!fd_) return;
  // Unlinked before the flock goes, and only when it is still ours, so a
  // waiting prober never sees our file free of its flock and removes a
  // successor's.
  struct stat mine, at_path;
  if (::fstat(fd_.get(), &mine) == 0 && ::lstat(lock_path_.c_str(), &at_path) == 0 &&
      same_file(mine, at_path))
    ::unlink(lock_path_.c_str());
  fd_.reset();
}

int FileLock::commit() {
  int rc = writer_.commit();
  int err = errno;
  release();
  errno = err;
  return rc;
}

void FileLock::rollback() {
  writer_.rollback();
  release();
}

}  // namespace plix

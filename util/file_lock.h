// A lock on a file that several processes rewrite, on top of the atomic
// writer:
//
//   FileLock lock(path);               // nothing happens yet
//   if (lock.acquire() != 0) ...       // PATH.lock, created with O_CREAT|O_EXCL
//   ... read path, decide ...
//   lock.writer().open(); write to lock.writer().stream();
//   if (lock.commit() != 0) ...        // the new content in place, then the lock released
//
// rollback() and destruction remove what was written and release the lock.
//
// Who holds a lock: the holder keeps the lock file open with flock() taken
// for as long as it holds it, and writes "PID HOST" into it. The kernel drops
// the flock when the holder dies, however it dies. A lock file whose flock
// someone holds is never broken. One whose flock is free is stale when its
// PID names a process of this host that no longer exists, or when it has
// not changed for kLockStaleSeconds (a holder that died before writing who
// it is, or a peer that does not take the flock); it is then removed, after
// checking that the file at the path is still the one examined, and the
// lock is tried again. acquire() waits at most the given time.
#pragma once

#include <string>
#include <string_view>

#include "util/atomic_file.h"
#include "util/limits.h"
#include "util/unique_fd.h"

namespace plix {

class FileLock {
 public:
  /// A lock on `target`, held in the file target + suffix.
  explicit FileLock(std::string target, std::string_view suffix = ".lock");
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  /// Takes the lock, waiting at most wait_ms for another holder. 0, or -1
  /// with errno: EWOULDBLOCK when it is still held after the wait, EDEADLK
  /// when this very process holds it already, else why the lock file could
  /// not be created.
  int acquire(int wait_ms = kLockWaitMillis);
  bool held() const { return static_cast<bool>(fd_); }
  /// The writer of the target's new content.
  AtomicFile& writer() { return writer_; }
  /// Commits the writer, then releases the lock. 0, or -1 with errno of the
  /// failed commit (the lock is released either way).
  int commit();
  /// Removes what the writer wrote and releases the lock.
  void rollback();
  /// Releases the lock (the writer is left as it is).
  void release();

  const std::string& lock_path() const { return lock_path_; }

 private:
  int try_create();

  std::string lock_path_;
  AtomicFile writer_;
  UniqueFd fd_;
};

}  // namespace plix

// Replacing a file so that readers and crashes never see it torn or lost:
//
//   AtomicFile f(path);
//   if (f.open() != 0) ...             // new file beside path (O_CREAT|O_EXCL)
//   fwrite(..., f.stream());           // write the new content
//   if (f.commit() != 0) ...           // flush, fsync, rename over path
//
// Destroying the object without a successful commit removes the new file and
// leaves the old one untouched. The new file gets the old file's permission
// bits (and, where allowed, its owner and group); a file that did not exist
// gets 0666 less the umask. A target that is a symbolic link is replaced by
// a regular file (the link is not followed for writing).
#pragma once

#include <cstdio>
#include <string>

namespace plix {

class AtomicFile {
 public:
  /// Prepares to replace `target`; nothing is created before open().
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Creates the new file beside the target. 0, or -1 with errno.
  int open();
  /// The stream to write to; null before open() and after commit/rollback.
  std::FILE* stream() const { return stream_; }
  /// Flushes and syncs the new file and renames it over the target. 0, or
  /// -1 with errno; on failure everything written is removed.
  int commit();
  /// Removes the new file (nothing happens after a commit).
  void rollback();

  const std::string& target() const { return target_; }
  /// Path of the new file while it exists; empty otherwise.
  const std::string& temp_path() const { return temp_; }

 private:
  std::string target_;
  std::string temp_;
  std::FILE* stream_ = nullptr;
};

}  // namespace plix

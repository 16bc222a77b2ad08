// Replacing a file so that readers and crashes never see it torn or lost:
//
//   AtomicFile f(path);
//   if (f.open() != 0) ...             // new file beside path (O_CREAT|O_EXCL)
//   fwrite(..., f.stream());           // write the new content
//   if (f.commit() != 0) ...           // flush, fsync, rename over path, fsync the directory
//
// Until the rename, the old file stands untouched; after it, the new one.
// Destroying the object without a successful commit removes the new file.
// The new file gets the old file's permission bits (and, where allowed, its
// owner and group); a file that did not exist gets 0666 less the umask. The
// new file lies in the target's own directory, under a dot name that no
// record lookup takes for a record.
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
  /// Flushes and syncs the new file, renames it over the target and syncs
  /// the directory. 0, or -1 with errno. Before the rename a failure removes
  /// the new file and leaves the old one; when only the directory sync fails
  /// the new content is in place (renamed() tells) but may not survive a
  /// crash, and that is reported as a failure too.
  int commit();
  /// Removes the new file (nothing happens after a commit).
  void rollback();

  const std::string& target() const { return target_; }
  /// Path of the new file while it exists; empty otherwise.
  const std::string& temp_path() const { return temp_; }
  /// Whether commit() put the new content in place.
  bool renamed() const { return renamed_; }

 private:
  std::string target_;
  std::string temp_;
  std::FILE* stream_ = nullptr;
  bool renamed_ = false;
};

/// Writes `text` as the whole new content of `path` through an AtomicFile.
/// 0, or -1 with errno.
int replace_file(const std::string& path, const char* text, std::size_t size);

}  // namespace plix

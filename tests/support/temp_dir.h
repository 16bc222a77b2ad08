// A fresh directory under $TMPDIR (or /tmp), removed with everything below
// it when the object goes away.
#pragma once

#include <string>

namespace plix::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  /// path() + "/" + rel
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

 private:
  std::string path_;
};

/// Writes a file (parents created), replacing any old one; fails the test on error.
void write_file(const std::string& path, const std::string& content, int mode = 0644);
/// The whole file, or the empty text when it cannot be read.
std::string read_file(const std::string& path);
/// mkdir -p.
void make_dirs(const std::string& path);

}  // namespace plix::test

// A record store set up for one test: a temporary home with tmp/, the
// temporary directory set through dfile_init, the enclosure hooks installed,
// and every process-wide state of the record store reset before and after.
#pragma once

#include <dirent.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recstore/field_table.h"
#include "recstore/record_file.h"
#include "recstore/temp_files.h"
#include "tests/support/temp_dir.h"

namespace plix::test {

class RecstoreEnv {
 public:
  static constexpr const char* kVariable = "PLIX_RECSTORE_TEST_HOME";

  RecstoreEnv() {
    reset_dfile_state();
    reset_temp_file_state();
    make_dirs(dir_ / "tmp");
    ::setenv(kVariable, dir_.path().c_str(), 1);
    dfile_init(kVariable, nullptr);
  }
  ~RecstoreEnv() {
    reset_dfile_state();
    reset_temp_file_state();
    ::unsetenv(kVariable);
  }
  RecstoreEnv(const RecstoreEnv&) = delete;
  RecstoreEnv& operator=(const RecstoreEnv&) = delete;

  const std::string& home() const { return dir_.path(); }
  std::string tmp() const { return dir_ / "tmp"; }
  /// Writes a file below the home and returns its path.
  std::string file(const std::string& rel, const std::string& text) const {
    std::string p = dir_ / rel;
    write_file(p, text);
    return p;
  }
  /// Names of the files in tmp/, sorted.
  std::vector<std::string> tmp_files() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(tmp().c_str())) {
      while (struct dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  TempDir dir_;
};

/// Number of open blocks in the pool.
inline int open_blocks() {
  int n = 0;
  for (const DfileBlock& b : dfile_state().iobf) n += b.mode != 0;
  return n;
}

}  // namespace plix::test

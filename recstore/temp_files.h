// The record store's temporary directory and unique temporary names.
//
// dfile_init (at program start) sets the directory, normally $PLIXHOME/tmp;
// dtmp returns it. A temporary name is
//   <dir>/<first 5 characters of the prefix><counter><6 unique characters>
// where the counter runs AAA, BAA, ..., ZAA, ABA, ..., ZZZ, AAA (first letter
// least significant), one counter for plixtempnam and one for plixtempnamna.
// The unique characters are random; a name that exists is not given out.
// The name functions create no file; creators open with O_CREAT|O_EXCL.
//
// The files made under such names (extracted texts, private copies, rewrite
// outputs) hold record texts that the record's own permissions may hide from
// others. They are created private and tracked (util/temp_registry.h), so
// that they go when the process ends, however it ends.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "util/temp_registry.h"
#include "util/unique_file.h"
#include "util/limits.h"

namespace plix {


struct TempFileState {
  std::optional<std::string> tmpdir;     ///< set by dfile_init
  char counter[3] = {'A', 'A', 'A'};     ///< plixtempnam's counter
  char counter_na[3] = {'A', 'A', 'A'};  ///< plixtempnamna's counter
};

/// The process-wide state.
TempFileState& temp_file_state();
/// Back to the initial state (tests).
void reset_temp_file_state();

/// Sets the temporary directory to $variable/tmp, or else to the home of
/// `user` + "/tmp"; installs the enclosure hooks of the field table. 1, or 0
/// (the previous setting stays) when neither is available.
int dfile_init(const char* variable, const char* user);
/// The temporary directory; nullopt (with a warning) before dfile_init.
std::optional<std::string> dtmp();
/// A new unique path in `dir`, which must be writable and searchable.
/// nullopt with a message on failure.
std::optional<std::string> plixtempnam(const std::string& dir, std::string_view prefix);
/// The same without the directory check.
std::optional<std::string> plixtempnamna(const std::string& dir, std::string_view prefix);
/// A new anonymous file in the temporary directory, open for update; it is
/// unlinked at once and vanishes when closed. Null on failure.
UniqueFile plixtmpfile();

/// Creates a new file, never following or reusing an existing name
/// (O_CREAT|O_EXCL|O_NOFOLLOW). The descriptor, or -1 with errno.
int create_exclusive(const std::string& path, mode_t mode);
/// create_exclusive, and the file is tracked for removal at exit.
int create_temp_file(const std::string& path, mode_t mode);

}  // namespace plix

// Path handling: the absolute normalized form of a path (with environment
// references, "~" homes, "." and ".." resolved textually, without touching
// the file system), undoing a normalization for display, finding a program
// on the search path, the machine's architecture name, and the last and the
// leading parts of a path.
//
// basename and dirname share their names with C library functions; they are
// reached as plix::basename and plix::dirname.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include "util/limits.h"

namespace plix {


/// Process-wide state of this module: the architecture name, made once.
struct PathState {
  std::optional<std::string> arch;
};
PathState& path_state();
/// Forgets the cached architecture name (tests).
void reset_path_state();

/// The absolute normalized form of path:
///  1. an empty path means the current directory ("" when it is unknown);
///  2. "$NAME" is replaced by the variable's value when it is set (else kept);
///  3. the last "~" or "~user" that begins a component restarts the path at
///     that home directory ("~" alone: the effective user's when effective,
///     else the real user's); for an unknown user the path skips step 4;
///  4. a relative path is put after the current directory;
///  5. "." goes; ".." removes the component before it, is dropped directly
///     under "/", and stays when there is nothing (or only "..") to remove;
///     empty components (from "//") stay;
///  6. trailing slashes go, except for a lone "/";
///  7. a leading "/tmp_mnt" component (automounter) is removed.
std::string normalize_path(std::string_view path, bool effective);

/// When prefix normalizes to a different text N, and path begins with N (or
/// with the target of the symbolic link N), path with that beginning
/// replaced by prefix; otherwise nullopt.
std::optional<std::string> mask_path(std::string_view path, std::string_view prefix,
                                     bool effective);

/// name itself when the process may execute it (q_access), else the first
/// "DIR/name" over the non-empty parts of PATH that it may execute; nullopt
/// for an empty name, an unset PATH, or no match.
std::optional<std::string> which(std::string_view name);

/// The architecture name of this machine (from uname, computed once), or
/// "<directory>_<name>" when a directory is given.
std::string archdir(std::optional<std::string_view> directory = std::nullopt);
/// The architecture name made from uname's fields: "sys_release_version",
/// blanks and "/" made "_", cut at the first "." after a digit, remaining
/// "." made "_".
std::string arch_name(std::string_view sysname, std::string_view release, std::string_view version);

/// The part after the last "/" (the whole path when there is none).
std::string basename(std::string_view path);
/// The path without its last component and the slashes before it, trailing
/// slashes removed first: "a/b/" -> "a", "file" -> ".", "/file" -> "/".
std::string dirname(std::string_view path);

}  // namespace plix

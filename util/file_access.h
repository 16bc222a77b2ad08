// File permission test by the process's own ids, as the database sees them:
// owner bits when the process (real or effective uid) owns the file, else
// group bits when its real/effective gid or one of its first 16
// supplementary groups is the file's group, else the bits for others. The
// superuser gets no special standing, unlike access(2).
#pragma once

#include <string>
#include "util/limits.h"

namespace plix {


/// mode: low three bits 4 read, 2 write, 1 execute; 0 asks only whether the
/// file exists. 0 when allowed, -1 otherwise (also when stat fails).
int plix_access(const std::string& path, int mode);
/// The same rule.
int q_access(const std::string& path, int mode);

}  // namespace plix

// Whole-file helpers: read a file into memory, write a text to a file, copy
// a file, skip comments in a stream.
#pragma once

#include <string>

namespace plix {

/// Copies src to dst in 8192-byte blocks. dst is created or truncated with
/// src's permission bits | 0666 (0666 alone when src cannot be stat'ed),
/// before the umask. 0, or -1 with errno of the failed call.
int copyfile(const std::string& src, const std::string& dst);

}  // namespace plix

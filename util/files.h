// Whole-file helpers: read a file into memory, write a text to a file, copy
// a file, skip comments in a stream.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace plix {

/// The whole content of a regular file (NUL bytes included). nullopt for an
/// empty path, a failed stat, a file that is not regular, or a failed open
/// or read; errno then tells why and survives the closing of the file.
std::optional<std::string> file2buf(const std::string& path);

/// Writes text as the whole content of path: 1, or 0 with errno set. errno
/// is cleared first, so a refused argument (empty path, null text) gives 0
/// with errno 0. A new file gets 0666 before the umask. An existing regular
/// file of ours is replaced atomically (a sibling file is written, synced and
/// renamed over it, keeping its permission bits), so a failure or a crash
/// never leaves it torn; other targets (devices, symbolic links, files of
/// other owners or with several links) are truncated and written in place.
int buf2file(const std::string& path, std::string_view text);
int buf2file(const std::string& path, const char* text);

/// Copies src to dst in 8192-byte blocks. dst is created or truncated with
/// src's permission bits | 0666 (0666 alone when src cannot be stat'ed),
/// before the umask. 0, or -1 with errno of the failed call (EINVAL when
/// dst is src itself, which would otherwise be emptied).
int copyfile(const std::string& src, const std::string& dst);

/// Skips white space and comment lines ("#" to the end of its line) in fp.
/// 1 with the first other character pushed back, or -1 at end of file.
int skip(std::FILE* fp);

}  // namespace plix

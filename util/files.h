// Whole-file helpers: read a file into memory, write a text to a file, copy
// a file, skip comments in a stream.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace plix {

/// The whole content of a regular file (NUL bytes included), read through
/// read_file with kMaxReadFileSize. nullopt for an empty path, a file that
/// is not regular or is too large, or a failed open or read; errno then
/// tells why and survives the closing of the file.
std::optional<std::string> file2buf(const std::string& path);

/// Writes text as the whole content of path: 1, or 0 with errno set. errno
/// is cleared first, so a refused argument (empty path, null text) gives 0
/// with errno 0. The file is replaced atomically (AtomicFile: written beside
/// it, synced, renamed over it, keeping its permission bits), so a failure
/// or a crash leaves the old content or the new, never a torn file. A
/// symbolic link is followed and its target replaced; a character device
/// (/dev/null, a terminal) is written in place; any other file that is not
/// regular is refused (EINVAL). A new file gets 0666 before the umask.
int buf2file(const std::string& path, std::string_view text);
int buf2file(const std::string& path, const char* text);

/// Copies src to dst in kCopyBlock blocks. src must be a regular file. dst
/// is created or truncated with src's permission bits | 0666 (0666 alone
/// when src cannot be stat'ed), before the umask, and is never reached
/// through a symbolic link. 0, or -1 with errno of the failed call (EINVAL
/// when dst is src itself, which would otherwise be emptied).
int copyfile(const std::string& src, const std::string& dst);
/// Copies src to a new file dst, created exclusively (O_EXCL, O_NOFOLLOW)
/// with `mode` before the umask: for private copies in shared directories.
/// 0, or -1 with errno; a partly written dst is removed.
int copy_to_new(const std::string& src, const std::string& dst, mode_t mode);

/// Skips white space and comment lines ("#" to the end of its line) in fp.
/// 1 with the first other character pushed back, or -1 at end of file.
int skip(std::FILE* fp);

}  // namespace plix

// Opening a file that the system reads. Every file below the home may have
// been planted by someone careless or hostile: a FIFO would block a reader
// forever, a device such as /dev/zero would never end, a huge file would
// exhaust memory. So every reader opens through this one helper:
//
//   - the open never blocks (O_NONBLOCK), and the opened file must be a
//     regular file (checked with fstat on what was opened, so a file swapped
//     after a check is caught too);
//   - the file may hold at most `limit` bytes;
//   - errors come back in errno: EISDIR for a directory, EINVAL for any other
//     file that is not regular, EFBIG for a file over the limit, else the
//     error of the open itself.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "util/limits.h"
#include "util/unique_fd.h"
#include "util/unique_file.h"

namespace plix {

/// Opens a regular file of at most `limit` bytes for reading. An empty
/// descriptor with errno on failure. `st`, when given, receives its status.
UniqueFd open_for_reading(const std::string& path, std::uint64_t limit, struct stat* st = nullptr);
/// The same as a buffered stream.
UniqueFile fopen_for_reading(const std::string& path, std::uint64_t limit,
                             struct stat* st = nullptr);
/// The whole content of a regular file of at most `limit` bytes (zero bytes
/// included); nullopt with errno on failure. A file that grows past the
/// limit while it is read fails with EFBIG.
std::optional<std::string> read_file(const std::string& path, std::uint64_t limit);
/// The same for a file opened by open_for_reading, whose status is `st`.
std::optional<std::string> read_file(int fd, const struct stat& st, std::uint64_t limit);

}  // namespace plix

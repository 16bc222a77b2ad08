#include "util/read_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace plix {

UniqueFd open_for_reading(const std::string& path, std::uint64_t limit, struct stat* st) {
  if (path.empty()) {
    errno = ENOENT;
    return UniqueFd();
  }
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) return fd;
  struct stat own;
  if (st == nullptr) st = &own;
  if (::fstat(fd.get(), st) != 0) return UniqueFd();
  if (!S_ISREG(st->st_mode)) {
    errno = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
    return UniqueFd();
  }
  if (static_cast<std::uint64_t>(st->st_size) > limit) {
    errno = EFBIG;
    return UniqueFd();
  }
  return fd;
}

UniqueFile fopen_for_reading(const std::string& path, std::uint64_t limit, struct stat* st) {
  UniqueFd fd = open_for_reading(path, limit, st);
  if (!fd) return nullptr;
  UniqueFile f(::fdopen(fd.get(), "r"));
  if (f) fd.release();
  return f;
}

std::optional<std::string> read_file(const std::string& path, std::uint64_t limit) {
  struct stat st;
  UniqueFd fd = open_for_reading(path, limit, &st);
  if (!fd) return std::nullopt;
  std::string buf;
  buf.reserve(static_cast<std::size_t>(st.st_size));
  // Read to the end rather than trusting the size: the file may change meanwhile.
  char block[kCopyBlock];
  for (;;) {
    ssize_t n = ::read(fd.get(), block, sizeof block);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    if (buf.size() + static_cast<std::size_t>(n) > limit) {
      errno = EFBIG;
      return std::nullopt;
    }
    buf.append(block, static_cast<std::size_t>(n));
  }
  return buf;
}

}  // namespace plix

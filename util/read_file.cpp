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
  return read_file(fd.get(), st, limit);
}

std::optional<std::string> read_file(int fd, const struct stat& st, std::uint64_t limit) {
  // Read straight into the text, to the end rather than to the size the
  // file had when opened: it may change meanwhile.
  std::string buf(static_cast<std::size_t>(st.st_size) + 1, '\0');
  std::size_t got = 0;
  for (;;) {
    if (got == buf.size()) {
      if (buf.size() > limit) {
        errno = EFBIG;
        return std::nullopt;
      }
      buf.resize(buf.size() + kCopyBlock);
    }
    ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > limit) {
    errno = EFBIG;
    return std::nullopt;
  }
  buf.resize(got);
  return buf;
}

}  // namespace plix

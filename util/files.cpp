#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "util/atomic_file.h"
#include "util/limits.h"
#include "util/read_file.h"
#include "util/unique_fd.h"

namespace plix {

namespace {

// Writes all of data, repeating partial and interrupted writes.
bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t w = ::write(fd, data, size);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}

// Copies everything from in to out: 0, or -1 with errno.
int copy_fd(int in, int out) {
  char buf[kCopyBlock];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return 0;
    if (!write_all(out, buf, static_cast<size_t>(n))) return -1;
  }
}

}  // namespace

std::optional<std::string> file2buf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  return read_file(path, kMaxReadFileSize);
}

int buf2file(const std::string& path, const char* text) {
  errno = 0;
  if (text == nullptr) return 0;
  return buf2file(path, std::string_view(text));
}

int buf2file(const std::string& path, std::string_view text) {
  errno = 0;
  if (path.empty()) return 0;
  std::string target = path;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      // The link stays; the file it names gets the new content.
      if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
      }
      if (::stat(target.c_str(), &st) != 0) st.st_mode = S_IFREG;
    }
    if (S_ISCHR(st.st_mode)) {
      UniqueFd fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
      if (!fd || !write_all(fd.get(), text.data(), text.size()) || fd.close() != 0) return 0;
      errno = 0;
      return 1;
    }
    if (!S_ISREG(st.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return 0;
    }
  }
  if (replace_file(target, text.data(), text.size()) != 0) return 0;
  errno = 0;
  return 1;
}

int copyfile(const std::string& src, const std::string& dst) {
  struct stat st;
  UniqueFd in = open_for_reading(src, kMaxRecordFileSize, &st);
  if (!in) return -1;
  // Copying a file onto itself would truncate it before the first read.
  struct stat dst_st;
  if (::stat(dst.c_str(), &dst_st) == 0 && dst_st.st_dev == st.st_dev &&
      dst_st.st_ino == st.st_ino) {
    errno = EINVAL;
    return -1;
  }
  mode_t mode = 0666 | (st.st_mode & 07777);
  UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!out) return -1;
  if (copy_fd(in.get(), out.get()) != 0) return -1;
  return out.close() == 0 ? 0 : -1;
}

int copy_to_new(const std::string& src, const std::string& dst, mode_t mode) {
  UniqueFd in = open_for_reading(src, kMaxRecordFileSize);
  if (!in) return -1;
  UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (!out) return -1;
  if (copy_fd(in.get(), out.get()) != 0 || out.close() != 0) {
    int err = errno;
    ::unlink(dst.c_str());
    errno = err;
    return -1;
  }
  return 0;
}

int skip(std::FILE* fp) {
  for (;;) {
    int c = std::getc(fp);
    if (c == EOF) return -1;
    if (c == '#') {
      do c = std::getc(fp);
      while (c != '\n' && c != EOF);
      if (c == EOF) return -1;
      continue;
    }
    if (std::isspace(c)) continue;
    std::ungetc(c, fp);
    return 1;
  }
}

}  // namespace plix

#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "util/limits.h"
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

// Truncates (or creates) path and writes text into it.
int write_in_place(const std::string& path, std::string_view text) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) return 0;
  if (!write_all(fd.get(), text.data(), text.size())) return 0;
  return fd.close() == 0 ? 1 : 0;
}

// Creates a new sibling of path, exclusively, with mode 0666 before the umask.
UniqueFd create_sibling(const std::string& path, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(attempt);
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd || errno != EEXIST) return fd;
  }
  return UniqueFd();
}

// Removes a file, keeping errno as it was.
void unlink_quietly(const std::string& name) {
  int saved = errno;
  ::unlink(name.c_str());
  errno = saved;
}

}  // namespace

std::optional<std::string> file2buf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  // O_NONBLOCK: should the file be swapped for a FIFO after the stat, the
  // open must not hang; the fstat below then refuses it.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return std::nullopt;
  if (::fstat(fd.get(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return std::nullopt;
  }
  std::string buf;
  buf.reserve(static_cast<size_t>(st.st_size));
  // Read to the end rather than trusting the size: the file may change
  // meanwhile, and some files report size 0.
  char block[kCopyBlock];
  for (;;) {
    ssize_t n = ::read(fd.get(), block, sizeof block);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    buf.append(block, static_cast<size_t>(n));
  }
  return buf;
}

int buf2file(const std::string& path, const char* text) {
  errno = 0;
  if (text == nullptr) return 0;
  return buf2file(path, std::string_view(text));
}

int buf2file(const std::string& path, std::string_view text) {
  errno = 0;
  if (path.empty()) return 0;
  struct stat st;
  bool exists = ::lstat(path.c_str(), &st) == 0;
  if (exists && !(S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid())) {
    return write_in_place(path, text);
  }
  std::string temp;
  UniqueFd fd = create_sibling(path, temp);
  if (!fd) {
    // No room for a second copy: truncating the original would risk losing it.
    if (errno == ENOSPC || errno == EDQUOT) return 0;
    // The directory may be closed to us while the file is open to us.
    errno = 0;
    return write_in_place(path, text);
  }
  if ((exists && ::fchmod(fd.get(), st.st_mode & 07777) != 0) ||
      !write_all(fd.get(), text.data(), text.size()) || ::fsync(fd.get()) != 0 || fd.close() != 0 ||
      ::rename(temp.c_str(), path.c_str()) != 0) {
    fd.reset();
    unlink_quietly(temp);
    return 0;
  }
  errno = 0;
  return 1;
}

int copyfile(const std::string& src, const std::string& dst) {
  UniqueFd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return -1;
  mode_t mode = 0666;
  struct stat st;
  if (::fstat(in.get(), &st) == 0) {
    mode |= st.st_mode & 07777;
    // Copying a file onto itself would truncate it before the first read.
    struct stat dst_st;
    if (::stat(dst.c_str(), &dst_st) == 0 && dst_st.st_dev == st.st_dev &&
        dst_st.st_ino == st.st_ino) {
      errno = EINVAL;
      return -1;
    }
  }
  UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (!out) return -1;
  char buf[kCopyBlock];
  for (;;) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    if (!write_all(out.get(), buf, static_cast<size_t>(n))) return -1;
  }
  if (out.close() != 0) return -1;
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

// Owning file descriptor: closed on destruction; errno survives the close,
// so a failure's reason stays readable after the descriptor goes away.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace plix {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) {
      reset();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  /// Gives up ownership.
  int release() { return std::exchange(fd_, -1); }
  /// Closes the descriptor, keeping errno as it was.
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      int saved = errno;
      ::close(fd_);
      errno = saved;
    }
    fd_ = fd;
  }
  /// Closes now and reports close's own result (0 or -1 with errno).
  int close() {
    if (fd_ < 0) return 0;
    int rc = ::close(std::exchange(fd_, -1));
    return rc;
  }

 private:
  int fd_ = -1;
};

}  // namespace plix

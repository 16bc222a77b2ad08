#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/unique_fd.h"

namespace plix {

int copyfile(const std::string& src, const std::string& dst) {
  UniqueFd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return -1;
  mode_t mode = 0666;
  struct stat st;
  if (::fstat(in.get(), &st) == 0) mode |= st.st_mode & 07777;
  UniqueFd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (!out) return -1;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    ssize_t done = 0;
    while (done < n) {
      ssize_t w = ::write(out.get(), buf + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      done += w;
    }
  }
  if (out.close() != 0) return -1;
  return 0;
}

}  // namespace plix

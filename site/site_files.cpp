#include "site/site_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "util/atomic_file.h"
#include "recstore/temp_files.h"
#include "site/web_user.h"
#include "util/activity_log.h"
#include "util/dates.h"
#include "util/limits.h"
#include "util/read_file.h"
#include "util/unique_fd.h"

namespace plix {

namespace {

constexpr std::size_t kNullScanBlock = 1024;

std::string stamp_safe(std::string name) {
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ':') c = '_';
  return name;
}

bool write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

void enclstamp(std::string_view action, Field& f) {
  std::optional<std::string> user = ruserid();
  std::string who = user ? stamp_safe(*user) : std::string("unknown");
  std::string stamp = std::string(action) + " " + today(1) + " by " + who;
  setstamp(f, stamp);
}

std::optional<std::string> remove_null(const std::string& path) {
  if (path.empty()) return std::nullopt;
  UniqueFd in = open_for_reading(path, kMaxRecordFileSize);
  if (!in) {
    plix_writelog("Could not open %s", path.c_str());
    return std::nullopt;
  }
  if (!dtmp()) dfile_init("PLIXHOME", "plix");
  std::optional<std::string> dir = dtmp();
  std::optional<std::string> tmp = dir ? plixtempnam(*dir, "edit") : std::nullopt;
  int fd = tmp ? create_temp_file(*tmp, 0700) : -1;
  if (fd < 0) {
    plix_writelog("Could not open/create %s", tmp ? tmp->c_str() : "(no temporary name)");
    return std::nullopt;
  }
  UniqueFd out(fd);
  bool replaced = false, ok = true;
  char buf[kNullScanBlock];
  for (;;) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t i = 0; i < n; ++i)
      if (buf[i] == '\0') {
        buf[i] = ' ';
        replaced = true;
      }
    if (!write_all(out.get(), buf, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  if (out.close() != 0) ok = false;
  if (!replaced || !ok) {
    // A copy that could not be made whole must not stand in for the file.
    if (!ok) plix_writelog("Could not open/create %s", tmp->c_str());
    remove_temp_file(*tmp);
    return std::nullopt;
  }
  return tmp;
}

int remove_null_inplace(const std::string& path) {
  std::optional<std::string> clean = remove_null(path);
  if (!clean) return 0;
  // The copy may lie on another file system: the cleaned text is written
  // beside the file and renamed over it, so the file at `path` is never
  // missing and never torn.
  AtomicFile target(path);
  UniqueFd in = open_for_reading(*clean, kMaxRecordFileSize);
  bool ok = in && target.open() == 0;
  char buf[kCopyBlock];
  while (ok) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = std::fwrite(buf, 1, static_cast<std::size_t>(n), target.stream()) ==
         static_cast<std::size_t>(n);
  }
  if (ok) ok = target.commit() == 0;
  if (!ok) plix_writelog("Could not replace %s with its cleaned copy", path.c_str());
  remove_temp_file(*clean);
  return 0;
}

}  // namespace plix

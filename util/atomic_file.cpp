#include "util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "util/temp_registry.h"
#include "util/unique_fd.h"

namespace plix {

namespace {

std::string dir_of(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Makes the rename durable: the directory entry reaches the disk too.
int sync_dir(const std::string& dir) {
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd || ::fsync(fd.get()) != 0) return -1;
  return 0;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
  rollback();
}

int AtomicFile::open() {
  if (stream_ != nullptr || target_.empty()) {
    errno = EINVAL;
    return -1;
  }
  renamed_ = false;
  std::string tmpl = dir_of(target_) + "/." + base_of(target_) + ".XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  int raw = ::mkostemp(buf.data(), O_CLOEXEC);  // O_CREAT|O_EXCL, mode 0600
  if (raw < 0) return -1;
  UniqueFd fd(raw);
  temp_ = buf.data();
  track_temp_file(temp_);  // a run stopped before the rename leaves nothing

  struct stat st;
  mode_t mode;
  if (::stat(target_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
      // Keeping the owner needs privileges; keeping the group often works.
      if (::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
        [[maybe_unused]] int ignored = ::fchown(fd.get(), static_cast<uid_t>(-1), st.st_gid);
      }
    }
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd.get(), mode) != 0) {
    rollback();
    return -1;
  }
  stream_ = ::fdopen(fd.get(), "w");
  if (stream_ == nullptr) {
    fd.reset();
    rollback();
    return -1;
  }
  fd.release();
  return 0;
}

int AtomicFile::commit() {
  if (stream_ == nullptr) {
    errno = EINVAL;
    return -1;
  }
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_) && ::fsync(fileno(stream_)) == 0;
  int err = errno;
  int rc = std::fclose(stream_);
  stream_ = nullptr;
  if (!ok || rc != 0) {
    if (ok) err = errno;
    if (err == 0) err = EIO;
    rollback();
    errno = err;
    return -1;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    err = errno;
    rollback();
    errno = err;
    return -1;
  }
  untrack_temp_file(temp_);
  temp_.clear();
  renamed_ = true;
  return sync_dir(dir_of(target_));
}

void AtomicFile::rollback() {
  int err = errno;
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temp_.empty()) {
    remove_temp_file(temp_);
    temp_.clear();
  }
  errno = err;
}

int replace_file(const std::string& path, const char* text, std::size_t size) {
  AtomicFile f(path);
  if (f.open() != 0) return -1;
  if (size > 0 && std::fwrite(text, 1, size, f.stream()) != size) {
    int err = errno != 0 ? errno : EIO;
    f.rollback();
    errno = err;
    return -1;
  }
  return f.commit();
}

}  // namespace plix

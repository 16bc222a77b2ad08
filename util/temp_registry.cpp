#include "util/temp_registry.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace plix {

namespace {

// The tracked files. Changes happen with the terminating signals blocked, so
// a handler never sees the list half changed.
struct TempRegistry {
  std::vector<std::string> paths;
  pid_t owner = 0;
  bool at_exit = false;
};

TempRegistry& registry() {
  static TempRegistry* r = new TempRegistry;
  return *r;
}

class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGQUIT}) sigaddset(&set, sig);
    ::sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsBlocked() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }

 private:
  sigset_t old_;
};

}  // namespace

void track_temp_file(const std::string& path) {
  TempRegistry& r = registry();
  SignalsBlocked blocked;
  if (!r.at_exit) {
    std::atexit(remove_temp_files);
    r.at_exit = true;
  }
  if (r.owner != ::getpid()) {
    r.paths.clear();  // a forked child tracks its own files only
    r.owner = ::getpid();
  }
  r.paths.push_back(path);
}

void untrack_temp_file(std::string_view path) {
  TempRegistry& r = registry();
  SignalsBlocked blocked;
  auto it = std::find(r.paths.begin(), r.paths.end(), path);
  if (it != r.paths.end()) r.paths.erase(it);
}

void remove_temp_file(const std::string& path) {
  int err = errno;
  ::unlink(path.c_str());
  untrack_temp_file(path);
  errno = err;
}

void unlink_temp_files() {
  TempRegistry& r = registry();
  if (r.owner != ::getpid()) return;
  int err = errno;
  for (const std::string& p : r.paths) ::unlink(p.c_str());
  errno = err;
}

void remove_temp_files() {
  unlink_temp_files();
  SignalsBlocked blocked;
  if (registry().owner == ::getpid()) registry().paths.clear();
}

std::size_t tracked_temp_files() {
  return registry().owner == ::getpid() ? registry().paths.size() : 0;
}

void reset_temp_registry() {
  SignalsBlocked blocked;
  registry().paths.clear();
}

}  // namespace plix

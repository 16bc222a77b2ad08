#include "tests/support/fake_users.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace plix::test {

std::string nss_wrapper_library() {
  for (const char* p : {"/usr/lib/x86_64-linux-gnu/libnss_wrapper.so",
                        "/usr/lib/aarch64-linux-gnu/libnss_wrapper.so",
                        "/usr/lib/libnss_wrapper.so", "/usr/lib64/libnss_wrapper.so"}) {
    if (std::filesystem::exists(p)) return p;
  }
  return "";
}

FakeUsers::FakeUsers() : passwd_(dir_ / "passwd"), group_(dir_ / "group") {
  add_user("root", 0, "/root");
}

FakeUsers& FakeUsers::add_user(const std::string& name, unsigned uid, const std::string& home) {
  users_.erase(std::remove_if(users_.begin(), users_.end(),
                              [&](const User& u) { return u.name == name || u.uid == uid; }),
               users_.end());
  users_.push_back({name, uid, uid, home});
  groups_.erase(std::remove_if(groups_.begin(), groups_.end(),
                               [&](const Group& g) { return g.name == name || g.gid == uid; }),
                groups_.end());
  groups_.push_back({name, uid, {}});
  return *this;
}

FakeUsers& FakeUsers::current_user_as(const std::string& name, const std::string& home) {
  add_user(name, ::getuid(), home);
  // The primary group is the process's real gid, so group lookups agree.
  users_.back().gid = ::getgid();
  groups_.back().gid = ::getgid();
  return *this;
}

FakeUsers& FakeUsers::add_group(const std::string& name, unsigned gid,
                                const std::vector<std::string>& members) {
  groups_.erase(std::remove_if(groups_.begin(), groups_.end(),
                               [&](const Group& g) { return g.name == name || g.gid == gid; }),
                groups_.end());
  groups_.push_back({name, gid, members});
  return *this;
}

void FakeUsers::write_files() const {
  std::ostringstream pw, gr;
  for (const auto& u : users_)
    pw << u.name << ":x:" << u.uid << ":" << u.gid << ":" << u.name << ":" << u.home
       << ":/bin/sh\n";
  for (const auto& g : groups_) {
    gr << g.name << ":x:" << g.gid << ":";
    for (std::size_t i = 0; i < g.members.size(); ++i) gr << (i ? "," : "") << g.members[i];
    gr << "\n";
  }
  write_file(passwd_, pw.str());
  write_file(group_, gr.str());
}

std::vector<std::string> FakeUsers::env(std::vector<std::string> base) const {
  write_files();
  base.push_back("LD_PRELOAD=" + nss_wrapper_library());
  base.push_back("NSS_WRAPPER_PASSWD=" + passwd_);
  base.push_back("NSS_WRAPPER_GROUP=" + group_);
  // A sanitized program must tolerate the preloaded library ahead of its runtime.
  auto asan = std::find_if(base.begin(), base.end(),
                           [](const std::string& s) { return s.rfind("ASAN_OPTIONS=", 0) == 0; });
  if (asan == base.end())
    base.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
  else if (asan->find("verify_asan_link_order") == std::string::npos)
    *asan += ":verify_asan_link_order=0";
  return base;
}

ProcessResult run_as(const FakeUsers& users, const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::string>& extra_env, ProcessOptions opts) {
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  opts.env = users.env(base_environment());
  opts.env.insert(opts.env.end(), extra_env.begin(), extra_env.end());
  return run_process(argv, opts);
}

}  // namespace plix::test

// Fake Unix users and groups for the programs under test, through
// nss_wrapper: a passwd and a group file in a temporary directory, and the
// environment that makes a child process read them instead of the machine's.
//
//   FakeUsers users;
//   users.add_user("plix", 1500, home.path());
//   users.current_user_as("www");     // the test process's uid gets this name
//   run_process(argv, users.env(base_environment()));
#pragma once

#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace plix::test {

class FakeUsers {
 public:
  FakeUsers();

  /// Adds a user with its own primary group of the same name and id.
  FakeUsers& add_user(const std::string& name, unsigned uid,
                      const std::string& home = "/nonexistent");
  /// Gives the test process's real uid (and gid) this name; replaces an earlier one.
  FakeUsers& current_user_as(const std::string& name, const std::string& home = "/nonexistent");
  /// Adds a group with its members.
  FakeUsers& add_group(const std::string& name, unsigned gid,
                       const std::vector<std::string>& members = {});

  /// `base` plus LD_PRELOAD and the NSS_WRAPPER_* variables (and the ASan
  /// option that tolerates the preload). Files are written on each call.
  std::vector<std::string> env(std::vector<std::string> base) const;

  const std::string& passwd_path() const { return passwd_; }
  const std::string& group_path() const { return group_; }

 private:
  struct User {
    std::string name;
    unsigned uid, gid;
    std::string home;
  };
  struct Group {
    std::string name;
    unsigned gid;
    std::vector<std::string> members;
  };
  void write_files() const;

  TempDir dir_;
  std::string passwd_, group_;
  std::vector<User> users_;
  std::vector<Group> groups_;
};

/// Path of libnss_wrapper.so on this machine, or empty when not installed.
std::string nss_wrapper_library();

/// Runs `program` with the arguments under the fake users, with extra
/// environment entries after theirs (opts.env is replaced by them).
ProcessResult run_as(const FakeUsers& users, const std::string& program,
                     const std::vector<std::string>& args,
                     const std::vector<std::string>& extra_env = {}, ProcessOptions opts = {});

}  // namespace plix::test

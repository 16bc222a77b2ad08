// The site layer's process-wide state set up for one test: every module's
// state reset before and after, the home directory set without a password
// lookup, the test process not the database account, a named web user, and
// warn's output captured instead of printed.
//
//   test::TempHome home;
//   test::SiteEnv env(home.path());
//   ... env.warnings() ...
#pragma once

#include <string>

namespace plix::test {

class SiteEnv {
 public:
  explicit SiteEnv(const std::string& home, const std::string& web_user = "dev1");
  ~SiteEnv();
  SiteEnv(const SiteEnv&) = delete;
  SiteEnv& operator=(const SiteEnv&) = delete;

  /// Makes `name` the web user, forgetting the groups of the one before.
  void as_user(const std::string& name);
  /// Makes the test process the database account (or not).
  void as_database_account(bool yes);
  /// What warn wrote since the last clear.
  std::string& warnings();

  /// Resets every module state the site layer and those below it keep.
  static void reset_all();
};

}  // namespace plix::test

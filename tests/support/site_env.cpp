#include "tests/support/site_env.h"

#include <unistd.h>

#include "recstore/record_file.h"
#include "recstore/temp_files.h"
#include "site/access.h"
#include "site/home.h"
#include "site/site_identity.h"
#include "site/states.h"
#include "site/web_user.h"
#include "util/activity_log.h"
#include "util/messages.h"

namespace plix::test {

namespace {

std::string& captured() {
  static std::string* s = new std::string;
  return *s;
}

}  // namespace

SiteEnv::SiteEnv(const std::string& home, const std::string& web_user) {
  reset_all();
  site_state().home = home;
  log_state().home_provider = &gethomedir;
  as_database_account(false);
  as_user(web_user);
  captured().clear();
  message_state().warn_sink = [](const std::string& t) { captured() += t; };
}

SiteEnv::~SiteEnv() { reset_all(); }

void SiteEnv::as_user(const std::string& name) {
  web_user_state().ruser_known = true;
  web_user_state().ruser = name;
  access_state().groups.reset();
}

void SiteEnv::as_database_account(bool yes) {
  site_state().plix_uid = yes ? ::getuid() : ::getuid() + 1;
}

std::string& SiteEnv::warnings() { return captured(); }

void SiteEnv::reset_all() {
  reset_site_state();
  reset_site_identity_state();
  reset_log_state();
  reset_message_state();
  reset_web_user_state();
  reset_states_state();
  reset_access_state();
  reset_dfile_state();
}

}  // namespace plix::test

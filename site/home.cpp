#include "site/home.h"

#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "util/activity_log.h"
#include "util/messages.h"

namespace plix {

SiteState& site_state() {
  static SiteState* state = new SiteState;
  return *state;
}

void reset_site_state() {
  site_state() = SiteState{};
  if (log_state().home_provider == &gethomedir) log_state().home_provider = nullptr;
}

const std::string& gethomedir() {
  SiteState& st = site_state();
  if (st.home) return *st.home;
  // The account is needed even with PLIXHOME: isplix and iseplix compare with its uid.
  const struct passwd* pw = ::getpwnam(kPlixAccount);
  if (pw == nullptr) fatal("ERROR: no password entry for \"%s\".", kPlixAccount);
  st.plix_uid = pw->pw_uid;
  // An empty PLIXHOME would put every path at the file system's root.
  const char* env = std::getenv("PLIXHOME");
  st.home = (env != nullptr && *env != '\0') ? std::string(env) : std::string(pw->pw_dir);
  log_state().home_provider = &gethomedir;
  return *st.home;
}

const std::string& getroot() {
  return gethomedir();
}

int cdhomedir() {
  return ::chdir(gethomedir().c_str());
}

namespace {

// The database account's uid; unknown only when the home was set without a
// lookup (tests), and then no process is the database account.
std::optional<uid_t> plix_uid() {
  if (!site_state().plix_uid) gethomedir();
  return site_state().plix_uid;
}

}  // namespace

bool isplix() {
  std::optional<uid_t> uid = plix_uid();
  return uid && ::getuid() == *uid;
}

bool iseplix() {
  std::optional<uid_t> uid = plix_uid();
  return uid && ::geteuid() == *uid;
}

std::string uhomedir(std::string_view user) {
  std::string name(user);
  // A name with a NUL would be looked up cut short, as somebody else.
  if (name.empty() || name.find('\0') != std::string::npos) return "";
  const struct passwd* pw = ::getpwnam(name.c_str());
  return pw != nullptr && pw->pw_dir != nullptr ? std::string(pw->pw_dir) : std::string();
}

std::string bugpath(std::string_view id) {
  std::string path = gethomedir();
  path += '/';
  path += kAllbugsDir;
  path += '/';
  if (id.size() >= kBugDirOffset + kBugDirLen) path += id.substr(kBugDirOffset, kBugDirLen);
  path += '/';
  path += id;
  return path;
}

void set_prog_name(std::string_view name) {
  site_state().prog_name = std::string(name);
}

const std::string& get_prog_name() {
  return site_state().prog_name;
}

std::string drealhost() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buf, sizeof buf) != 0) return kUnknownHost;
  buf[sizeof buf - 1] = '\0';
  if (buf[0] == '\0') return kUnknownHost;
  return buf;
}

int truncname(std::string& path) {
  std::size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".")
                    : slash == 0               ? std::string("/")
                                               : path.substr(0, slash);
  std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  if (::pathconf(dir.c_str(), _PC_NO_TRUNC) != 1) return -1;
  long name_max = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  if (name_max <= 1) return -1;  // no limit, or none we can cut to
  std::size_t limit = static_cast<std::size_t>(name_max);
  if (path.size() - start < limit) return -1;
  path.resize(start + limit - 1);
  return 0;
}

}  // namespace plix

#include "site/layout.h"
#include "site/web_user.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "site/home.h"
#include "util/file_access.h"
#include "util/messages.h"
#include "util/read_file.h"
#include "util/unique_fd.h"

namespace plix {

WebUserState& web_user_state() {
  static WebUserState* state = new WebUserState;
  return *state;
}

void reset_web_user_state() {
  web_user_state() = WebUserState{};
}

void http_init() {
  std::string path = home_file(kHttpUserFile);
  if (plix_access(path, 0) == 0) set_http_file(path);
}

void set_http_file(std::string_view path) {
  web_user_state().http_file = std::string(path);
}

std::optional<std::string> get_http_file() {
  return web_user_state().http_file;
}

std::optional<std::string> get_http_user() {
  const auto& file = web_user_state().http_file;
  if (!file) return std::nullopt;
  UniqueFd fd = open_for_reading(*file, kMaxReadFileSize);
  if (!fd) return std::nullopt;
  std::string text(kMaxValueLength, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  // The first line counts; a NUL ends the name as well, since no login name holds one.
  std::size_t end = text.find_first_of(std::string_view("\n\0", 2));
  if (end != std::string::npos) text.resize(end);
  if (text.empty()) return std::nullopt;
  return text;
}

namespace {

/// Login name of the real uid, or nullopt.
std::optional<std::string> real_user_name() {
  const struct passwd* pw = ::getpwuid(::getuid());
  if (pw == nullptr || pw->pw_name == nullptr) return std::nullopt;
  return std::string(pw->pw_name);
}

}  // namespace

int is_http() {
  auto http_user = get_http_user();
  if (!http_user) return 0;
  auto me = real_user_name();
  return me && *me == *http_user ? 1 : 0;
}

std::optional<std::string> ruserid() {
  WebUserState& st = web_user_state();
  if (st.ruser_known) return st.ruser;
  st.ruser_known = true;
  auto me = real_user_name();
  if (!me) {
    warn("No password file entry for user #%d.\n", static_cast<int>(::getuid()));
    st.ruser.reset();
    return st.ruser;
  }
  st.ruser = *me;
  // Running as the web server's account: act for whoever signed in to it.
  if (st.http_file) {
    auto http_user = get_http_user();
    const char* remote = std::getenv("REMOTE_USER");
    if (http_user && *http_user == *me && remote != nullptr && *remote != '\0')
      st.ruser = std::string(remote);
  }
  return st.ruser;
}

int switch_to_user(int real) {
  WebUserState& st = web_user_state();
  if (!st.ids_saved) {
    st.saved_ruid = ::getuid();
    st.saved_euid = ::geteuid();
    st.ids_saved = true;
  }
  return ::seteuid(real != 0 ? st.saved_ruid : st.saved_euid);
}

}  // namespace plix

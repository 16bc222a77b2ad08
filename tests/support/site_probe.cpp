// Test helper: runs site-layer functions named on the command line, in
// order, and prints one line per call, so tests can run them in a child
// process under fake users (nss_wrapper) and fake environments.
//
//   site_probe gethomedir isplix bugpath=ABCde00042 ruserid
//   -> "gethomedir: /home/plix\nisplix: 1\n..."
//   site_probe plix_getgroups=dev1 state_access_ok=A:alpha
//
// An absent answer prints "(null)". "real_uid=N" (root only) makes N the
// real uid while the effective uid stays, for the lookups of the real user.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "site/access.h"
#include "site/home.h"
#include "site/web_user.h"
#include "util/activity_log.h"

namespace {

std::string show(const std::optional<std::string>& v) {
  return v ? *v : "(null)";
}

std::string cwd() {
  char buf[4096];
  return ::getcwd(buf, sizeof buf) != nullptr ? buf : "?";
}

std::optional<std::string> run(std::string_view cmd, const std::string& arg) {
  using namespace plix;
  if (cmd == "real_uid")
    return std::to_string(::setreuid(static_cast<uid_t>(std::stoul(arg)), static_cast<uid_t>(-1)));
  if (cmd == "gethomedir") return gethomedir();
  if (cmd == "getroot") return getroot();
  if (cmd == "cdhomedir") {
    int rc = cdhomedir();  // before cwd(): operands of + are unsequenced
    return std::to_string(rc) + " " + cwd();
  }
  if (cmd == "isplix") return std::to_string(isplix());
  if (cmd == "iseplix") return std::to_string(iseplix());
  if (cmd == "uhomedir") return uhomedir(arg);
  if (cmd == "bugpath") return bugpath(arg);
  if (cmd == "log_home") {
    auto provider = log_state().home_provider;
    return provider ? std::optional<std::string>(provider()) : std::nullopt;
  }
  if (cmd == "http_init") {
    http_init();
    return "ok";
  }
  if (cmd == "set_http_file") {
    set_http_file(arg);
    return "ok";
  }
  if (cmd == "get_http_file") return show(get_http_file());
  if (cmd == "get_http_user") return show(get_http_user());
  if (cmd == "is_http") return std::to_string(is_http());
  if (cmd == "ruserid") return show(ruserid());
  if (cmd == "plix_getgroups") return plix_getgroups(arg);
  if (cmd == "state_access_ok") {
    // STATE:PROJECT
    if (arg.size() < 2 || arg[1] != ':') return std::nullopt;
    return std::to_string(state_access_ok(arg[0], arg.substr(2), nullptr));
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string_view word = argv[i];
    std::size_t eq = word.find('=');
    std::string_view cmd = word.substr(0, eq);
    std::string arg = eq == std::string_view::npos ? "" : std::string(word.substr(eq + 1));
    auto result = run(cmd, arg);
    if (!result) {
      std::fprintf(stderr, "site_probe: unknown command %.*s\n", static_cast<int>(cmd.size()),
                   cmd.data());
      return 2;
    }
    std::printf("%.*s: %s\n", static_cast<int>(cmd.size()), cmd.data(), result->c_str());
    std::fflush(stdout);
  }
  return 0;
}

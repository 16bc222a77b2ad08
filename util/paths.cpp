#include "util/paths.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/file_access.h"
#include "util/strarray.h"

namespace plix {

namespace {

std::optional<std::string> current_dir() {
  std::vector<char> buf(256);
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) return std::string(buf.data());
    if (errno != ERANGE) return std::nullopt;
    buf.resize(buf.size() * 2);
  }
}

std::optional<std::string> home_of(const struct passwd* pw) {
  if (pw == nullptr || pw->pw_dir == nullptr) return std::nullopt;
  return std::string(pw->pw_dir);
}

// Value of an environment variable, or null when unset or the name cannot
// be one (getenv would match a prefix of a name holding "=" or NUL).
const char* env_value(const std::string& name) {
  if (name.empty() || name.find_first_of(std::string_view("=\0", 2)) != std::string::npos) {
    return nullptr;
  }
  return std::getenv(name.c_str());
}

// Replaces each "$NAME" whose variable is set, while the text stays shorter
// than kMaxPathLength; other references stay as written.
std::string expand_environment(std::string_view p) {
  std::string out;
  std::size_t i = 0;
  while (i < p.size()) {
    if (p[i] != '$') {
      out += p[i++];
      continue;
    }
    const std::size_t start = i + 1;
    std::size_t end = p.find_first_of("/$", start);
    if (end == std::string_view::npos) end = p.size();
    if (end - start > kMaxNameLength) end = start + kMaxNameLength;
    const std::string name(p.substr(start, end - start));
    const char* value = env_value(name);
    if (value && out.size() + std::strlen(value) + (p.size() - end) < kMaxPathLength) {
      out += value;
    } else {
      out += '$';
      out += name;
    }
    i = end;
  }
  return out;
}

// Restarts p at the home directory named by its last "~" that begins a
// component. false when that user (or the home) is unknown.
bool restart_at_home(std::string& p, bool effective) {
  std::size_t tilde = std::string::npos;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '~' && (i == 0 || p[i - 1] == '/')) tilde = i;
  }
  if (tilde == std::string::npos) return true;
  std::size_t end = p.find('/', tilde);
  if (end == std::string::npos) end = p.size();
  const std::string user = p.substr(tilde + 1, end - tilde - 1);
  std::optional<std::string> home;
  if (user.empty()) {
    home = home_of(::getpwuid(effective ? ::geteuid() : ::getuid()));
  } else if (user.find('\0') == std::string::npos) {
    home = home_of(::getpwnam(user.c_str()));
  }
  if (!home) return false;
  // A home of "/" already ends in the separator.
  if (!home->empty() && home->back() == '/' && end < p.size()) home->pop_back();
  p = *home + p.substr(end);
  return true;
}

// Steps 5 to 7: resolves ".", ".." and trailing slashes textually.
std::string resolve_components(std::string_view p) {
  const bool absolute = !p.empty() && p.front() == '/';
  if (absolute) p.remove_prefix(1);
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= p.size()) {
    std::size_t end = p.find('/', pos);
    if (end == std::string_view::npos) end = p.size();
    std::string_view c = p.substr(pos, end - pos);
    pos = end + 1;
    if (pos > p.size() && c.empty()) break;  // nothing after the last "/"
    if (c == ".") continue;
    if (c == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else if (!absolute) {
        parts.push_back(c);  // nothing to remove: it stays
      }
      continue;
    }
    parts.push_back(c);
  }
  std::string out = absolute ? "/" : "";
  for (std::string_view c : parts) {
    out += c;
    out += '/';
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  constexpr std::string_view kAutomount = "/tmp_mnt";
  if (out.starts_with(kAutomount) &&
      (out.size() == kAutomount.size() || out[kAutomount.size()] == '/')) {
    out = out.size() == kAutomount.size() ? std::string("/") : out.substr(kAutomount.size());
  }
  return out;
}

std::optional<std::string> link_target(const std::string& path) {
  std::vector<char> buf(256);
  for (;;) {
    ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) return std::nullopt;
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), n);
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

PathState& path_state() {
  static PathState* state = new PathState();
  return *state;
}

void reset_path_state() {
  path_state() = PathState();
}

std::string normalize_path(std::string_view path, bool effective) {
  std::string p;
  if (path.empty()) {
    // The working directory is already a real path: no "$" or "~" in it
    // means anything.
    std::optional<std::string> cwd = current_dir();
    if (!cwd) return "";
    return resolve_components(*cwd);
  }
  if (path == "/") return "/";
  p = path.find('$') != std::string_view::npos ? expand_environment(path) : std::string(path);
  if (!restart_at_home(p, effective)) return resolve_components(p);
  if (p.empty() || p.front() != '/') {
    std::optional<std::string> cwd = current_dir();
    if (!cwd) return "";
    // At the root the separator is already there; a second one would
    // become an empty component.
    if (cwd->empty() || cwd->back() != '/') *cwd += '/';
    p = *cwd + p;
  }
  return resolve_components(p);
}

std::optional<std::string> mask_path(std::string_view path, std::string_view prefix,
                                     bool effective) {
  const std::string norm = normalize_path(prefix, effective);
  if (norm.empty() || norm == prefix) return std::nullopt;
  auto replaced = [&](std::size_t len) {
    return std::string(prefix) + std::string(path.substr(len));
  };
  if (path.starts_with(norm)) return replaced(norm.size());
  std::optional<std::string> target = link_target(norm);
  if (target && !target->empty() && path.starts_with(*target)) return replaced(target->size());
  return std::nullopt;
}

std::optional<std::string> which(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string n(name);
  constexpr int kExecute = 1;
  if (q_access(n, kExecute) == 0) return n;
  const char* search = std::getenv("PATH");
  if (search == nullptr) return std::nullopt;
  for (const std::string& dir : strarray_create(search, ":")) {
    std::string candidate = dir + "/" + n;
    if (q_access(candidate, kExecute) == 0) return candidate;
  }
  return std::nullopt;
}

std::string arch_name(std::string_view sysname, std::string_view release,
                      std::string_view version) {
  std::string s = std::string(sysname) + "_" + std::string(release) + "_" + std::string(version);
  for (char& c : s) {
    if (c == ' ' || c == '/') c = '_';
  }
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (s[i] == '.' && std::isdigit(static_cast<unsigned char>(s[i - 1]))) {
      s.erase(i);
      break;
    }
  }
  for (char& c : s) {
    if (c == '.' || c == '/') c = '_';
  }
  return s;
}

std::string archdir(std::optional<std::string_view> directory) {
  std::optional<std::string>& arch = path_state().arch;
  if (!arch) {
    struct utsname u;
    arch = ::uname(&u) == 0 ? arch_name(u.sysname, u.release, u.version)
                            : arch_name("unknown", "", "");
  }
  if (!directory) return *arch;
  return std::string(*directory) + "_" + *arch;
}

std::string basename(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string dirname(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  path = path.substr(0, slash);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path.empty() ? "/" : std::string(path);
}

}  // namespace plix

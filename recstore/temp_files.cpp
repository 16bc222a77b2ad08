#include "recstore/temp_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <vector>

#include "recstore/enclosures.h"
#include "util/messages.h"

namespace plix {

namespace {

// How often a random name that already exists is drawn again.
constexpr int kUniqueTries = 100;

void advance(char (&counter)[3]) {
  for (char& c : counter) {
    if (c != 'Z') {
      ++c;
      return;
    }
    c = 'A';
  }
}

// Six characters from the process id and random bytes: unique across
// processes, and checked against the directory.
std::string unique_suffix() {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    unsigned long v = static_cast<unsigned long>(::getpid()) * 2654435761UL ^
                      static_cast<unsigned long>(std::rand());
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(v);
      v = v * 6364136223846793005ULL + 1442695040888963407ULL;
    }
  }
  std::string s;
  for (unsigned char b : bytes) s += kAlphabet[b % (sizeof kAlphabet - 1)];
  return s;
}

std::optional<std::string> make_name(const std::string& dir, std::string_view prefix,
                                     char (&counter)[3]) {
  std::string base =
      dir + "/" + std::string(prefix.substr(0, kTempPrefixLength)) + std::string(counter, 3);
  advance(counter);
  for (int i = 0; i < kUniqueTries; ++i) {
    std::string name = base + unique_suffix();
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) return name;
  }
  errno = EEXIST;
  warn("Can't make temporary file out of %s: %s\n", (base + "XXXXXX").c_str(),
       std::strerror(errno));
  return std::nullopt;
}

}  // namespace

TempFileState& temp_file_state() {
  static TempFileState* state = new TempFileState;
  return *state;
}

void reset_temp_file_state() {
  temp_file_state() = TempFileState{};
  reset_temp_registry();
}

int dfile_init(const char* variable, const char* user) {
  std::optional<std::string> dir;
  if (variable != nullptr && *variable != '\0') {
    if (const char* v = std::getenv(variable)) dir = std::string(v) + "/tmp";
  }
  if (!dir && user != nullptr && *user != '\0') {
    if (struct passwd* pw = ::getpwnam(user); pw != nullptr && pw->pw_dir != nullptr)
      dir = std::string(pw->pw_dir) + "/tmp";
  }
  if (!dir) return 0;
  temp_file_state().tmpdir = std::move(dir);
  enclosures_init();
  return 1;
}

std::optional<std::string> dtmp() {
  const std::optional<std::string>& dir = temp_file_state().tmpdir;
  if (!dir) {
    warn("dtmp: Warning - %s\n                %s\n", "dtmp () called when dfile not initialized",
         "please add a call to dfile_init ()to set the tmp dir.");
  }
  return dir;
}

std::optional<std::string> plixtempnam(const std::string& dir, std::string_view prefix) {
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    warn("Can't write and execute directory %s:\n\t%s\n", (dir + "/").c_str(),
         std::strerror(errno));
    return std::nullopt;
  }
  return make_name(dir, prefix, temp_file_state().counter);
}

std::optional<std::string> plixtempnamna(const std::string& dir, std::string_view prefix) {
  return make_name(dir, prefix, temp_file_state().counter_na);
}

int create_exclusive(const std::string& path, mode_t mode) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

int create_temp_file(const std::string& path, mode_t mode) {
  int fd = create_exclusive(path, mode);
  if (fd >= 0) track_temp_file(path);
  return fd;
}

UniqueFile plixtmpfile() {
  const std::optional<std::string>& dir = temp_file_state().tmpdir;
  if (!dir) {
    dtmp();  // the warning
    return nullptr;
  }
  std::string tmpl = *dir + "/tmpflXXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  int fd = ::mkostemp(buf.data(), O_CLOEXEC);  // O_CREAT|O_EXCL: no existing file or link
  if (fd < 0) return nullptr;
  ::unlink(buf.data());
  UniqueFile f(::fdopen(fd, "w+"));
  if (!f) ::close(fd);
  return f;
}

}  // namespace plix

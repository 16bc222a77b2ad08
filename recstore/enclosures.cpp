#include "recstore/enclosures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "recstore/temp_files.h"
#include "util/unique_file.h"
#include "util/filter_status.h"
#include "util/file_access.h"
#include "util/files.h"
#include "util/messages.h"

namespace plix {

namespace {

// Extracted text is handed to the sink in pieces of about this size.
constexpr std::size_t kSinkPiece = 64 * 1024;

int hook_extract(Field& f) {
  return fgetfile(&f) ? 0 : -1;
}

std::string_view skip_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// Permissions of a private copy: owner-only, narrower still when the
// original is.
mode_t private_mode(mode_t original) {
  return 0600 & original;
}

mode_t file_mode(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? st.st_mode : 0600;
}

}  // namespace

std::optional<std::string> private_copy(const std::string& src, const char* prefix) {
  std::optional<std::string> dir = dtmp();
  if (!dir) return std::nullopt;
  std::optional<std::string> tmp = plixtempnam(*dir, prefix);
  if (!tmp) return std::nullopt;
  struct stat st;
  mode_t mode = ::stat(src.c_str(), &st) == 0 ? private_mode(st.st_mode) : 0600;
  if (copy_to_new(src, *tmp, mode) != 0) return std::nullopt;
  track_temp_file(*tmp);
  return tmp;
}

void enclosures_init() {
  FieldFileHooks& hooks = field_file_hooks();
  hooks.extract = hook_extract;
  hooks.private_copy = private_copy;
}

std::optional<std::size_t> addfile(std::string_view name, std::optional<std::string_view> value,
                                   std::optional<std::string_view> stamp, const std::string& path,
                                   FieldTable& t, int how) {
  if (q_access(path, 4) != 0) return std::nullopt;
  if (appendfield(name, std::nullopt, t) != 0) return std::nullopt;
  std::size_t slot = t.size() - 1;
  if (faddfile(t[slot], value, stamp, path, how) != 0) {
    t.entries().pop_back();
    return std::nullopt;
  }
  return slot;
}

int faddfile(Field& f, std::optional<std::string_view> value, std::optional<std::string_view> stamp,
             const std::string& path, int how) {
  // The new file is made ready before an owned old one goes: attaching an
  // entry's own file again must not delete the text first.
  std::string new_path;
  bool owns;
  if (how == 1) {
    new_path = path;
    owns = false;
  } else if (how == 3) {
    new_path = path;
    owns = true;
  } else {
    std::optional<std::string> copy = private_copy(path, "daddf");
    if (!copy) return -1;
    new_path = std::move(*copy);
    owns = true;
  }
  if (f.has_file && f.owns_file && f.path && !f.path->empty() && *f.path != new_path)
    remove_temp_file(*f.path);
  f.path = std::move(new_path);
  f.has_file = true;
  f.owns_file = owns;
  if (stamp) setstamp(f, stamp);
  setvalue(f, value);
  return 0;
}

int setfile(std::string_view name, FieldTable& t) {
  std::size_t i = findfield(name, t);
  if (i < t.size() && t[i].has_file) return 0;
  if (i == t.size()) {
    if (appendfield(name, std::nullopt, t) != 0) return kFilterAbort;
    i = t.size() - 1;
  }
  Field& f = t[i];
  int rc = 0;
  std::string path;
  std::optional<std::string> dir = dtmp();
  std::optional<std::string> tmp = dir ? plixtempnam(*dir, "setf") : std::nullopt;
  if (tmp) {
    path = *tmp;
    int fd = create_temp_file(path, 0600);
    if (fd < 0) {
      warnerr("Can't create %s", path.c_str());
      rc = kFilterAbort;
    } else {
      ::close(fd);
    }
  } else {
    rc = kFilterAbort;
  }
  f.has_file = true;
  f.owns_file = true;
  f.path = std::move(path);
  setvalue(f, "");
  setstamp(f, "");
  return rc;
}

std::size_t findfile(std::string_view name, std::optional<std::string_view> title,
                     const FieldTable& t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    const Field& f = t[i];
    if (!f.has_file || !fname_eq(f.name, name)) continue;
    if (title && (!f.value || *f.value != *title)) continue;
    return i;
  }
  return t.size();
}

void delfile(std::string_view name, std::string_view title, FieldTable& t) {
  auto& e = t.entries();
  for (std::size_t i = 0; i < e.size();) {
    Field& f = *e[i];
    if (fname_eq(f.name, name) && f.value && *f.value == title) {
      if (disposefield(e[i]) == 0) {
        e.erase(e.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
    }
    ++i;
  }
}

int extract_body(DfileBlock* b, const BodySink& sink) {
  if (b == nullptr || b->in == nullptr) return kDfileIoError;
  std::FILE* in = b->in;
  off_t start = ::ftello(in);
  std::string piece;
  piece.reserve(kSinkPiece + 1024);
  bool ok = true;
  auto flush = [&]() {
    if (!piece.empty() && ok) ok = sink(piece);
    piece.clear();
  };

  // Lines before the entry's first line (only before a file's first entry).
  int c;
  while ((c = getc_unlocked(in)) != EOF && (c == '#' || c == ' ' || c == '\t' || c == '\n')) {
    if (c != '\n')
      while ((c = getc_unlocked(in)) != EOF && c != '\n') {
      }
  }
  // The first line holds name, stamp and title only; "@" lines continue it.
  bool in_head = true;
  bool at_boundary = false;
  int lines = 0;
  while (c != EOF && c != '\n') c = getc_unlocked(in);
  while (ok && c == '\n') {
    c = getc_unlocked(in);
    if (c == '@') {
      if (in_head) {
        while ((c = getc_unlocked(in)) != EOF && c != '\n') {
        }
        continue;
      }
    } else if (c == ' ' || c == '\t') {
      if (lines++ > 0) piece += '\n';
      in_head = false;
    } else {
      at_boundary = true;
      break;
    }
    while ((c = getc_unlocked(in)) != EOF && c != '\n') {
      if (c == '\0') {
        ok = false;  // a zero byte cannot go into a text
        break;
      }
      piece += static_cast<char>(c);
    }
    if (piece.size() >= kSinkPiece) flush();
  }
  if (ok && lines > 0 && at_boundary) piece += '\n';
  flush();
  bool read_error = std::ferror(in) != 0;
  std::clearerr(in);
  if (::fseeko(in, start, SEEK_SET) != 0) return kDfileIoError;
  return ok && !read_error ? 0 : kDfileIoError;
}

std::optional<std::string> dgetfile(DfileBlock* b, const std::optional<std::string>& path) {
  DfileState& st = dfile_state();
  std::string out_path;
  if (path) {
    out_path = *path;
  } else {
    std::optional<std::string> dir = dtmp();
    std::optional<std::string> tmp = dir ? plixtempnam(*dir, "dfile") : std::nullopt;
    if (!tmp) {
      derror("dgetfile", 47);
      st.dopenflag = kDfileNoRoom;
      return std::nullopt;
    }
    out_path = std::move(*tmp);
  }
  // The text is as private as the record that holds it.
  mode_t mode = private_mode(b != nullptr && b->in != nullptr ? file_mode(fileno(b->in)) : 0600);
  int fd = path ? create_exclusive(out_path, mode) : create_temp_file(out_path, mode);
  UniqueFile out(fd >= 0 ? ::fdopen(fd, "w") : nullptr);
  if (!out) {
    int err = errno;
    if (fd >= 0) {
      ::close(fd);
      remove_temp_file(out_path);
    }
    errno = err;
    derror("dgetfile", 58);
    warn("tmp file = %s\n", out_path.c_str());
    warn("ERROR tmp file = %s, %s\n", out_path.c_str(), std::strerror(err));
    st.dopenflag = kDfileCantOpen;
    return std::nullopt;
  }
  std::FILE* o = out.get();
  int rc = extract_body(
      b, [o](std::string_view s) { return std::fwrite(s.data(), 1, s.size(), o) == s.size(); });
  int close_rc = std::fclose(out.release());
  if (rc != 0 || close_rc != 0) {
    if (errno == 0) errno = EIO;
    derror("dgetfile", 97);
    remove_temp_file(out_path);
    st.dopenflag = kDfileIoError;
    return std::nullopt;
  }
  return out_path;
}

int dftitle(DfileBlock* b, std::string_view name, std::string_view title, int how, char* buffer,
            long size) {
  if (size == 0) size = kDftitleDefaultSize;
  if (size < 0) size = -size;
  std::vector<char> own;
  if (buffer == nullptr) {
    own.assign(static_cast<std::size_t>(size), '\0');
    buffer = own.data();
  }
  std::string_view want = skip_blanks(title);
  for (;;) {
    int rc = dfind(b, name, buffer, size);
    if (rc != kDfileOk && rc != kDfileNoRoom) return rc;
    if (b->value == nullptr) continue;  // the first line itself did not fit
    std::string_view v = skip_blanks(b->value);
    std::string_view line = v.substr(0, v.find('\n'));
    bool fits = how == 1 ? line.substr(0, want.size()) == want : line == want;
    if (fits) return rc;
  }
}

std::optional<std::string> fgetfile(Field* f) {
  if (f == nullptr) {
    warn("INTERNAL ERROR: fgetfile field = (null)");
    return std::nullopt;
  }
  if (!f->has_file) {
    warn("INTERNAL ERROR: fgetfile field %s has no associated file", f->name.c_str());
    return std::nullopt;
  }
  if (!f->path || f->path->empty()) {
    warn("INTERNAL ERROR: fgetfile field %s has bad pathname", f->name.c_str());
    return std::nullopt;
  }
  if (f->owns_file) return *f->path;
  const std::string record = *f->path;
  DfileBlock* b = dopen(record.c_str(), "r");
  if (b == nullptr) {
    warn("INTERNAL ERROR: dopen %s failed: %s", record.c_str(), std::strerror(errno));
    return std::nullopt;
  }
  const std::string title = f->value.value_or("");
  std::vector<char> buf(kFgetfileBuffer);
  int rc = dftitle(b, f->name, title, 0, buf.data(), kFgetfileBuffer);
  if (rc != kDfileOk && rc != kDfileNoRoom) {
    warn("INTERNAL ERROR: can't find file field \"%s\" title \"%s\" in %s", f->name.c_str(),
         title.c_str(), record.c_str());
    dclose(b, 2);
    return std::nullopt;
  }
  std::optional<std::string> out = dgetfile(b, std::nullopt);
  dclose(b, 2);
  if (!out) {
    warn("INTERNAL ERROR: extracting file \"%s\" title \"%s\" from %s", f->name.c_str(),
         title.c_str(), record.c_str());
    return std::nullopt;
  }
  f->owns_file = true;
  f->path = *out;
  return out;
}

}  // namespace plix

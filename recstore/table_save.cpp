#include "recstore/table_save.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "util/atomic_file.h"
#include "recstore/enclosures.h"
#include "recstore/record_file.h"
#include "util/unique_file.h"
#include "util/limits.h"
#include "util/messages.h"
#include "util/read_file.h"

namespace plix {

namespace {

// A Related-file entry is written in its own plain form when the loader
// would give it the stamp it has (its name); otherwise as an enclosure.
bool is_related_file(const Field& f) {
  return fname_eq(f.name, "Related-file") && (!f.stamp || *f.stamp == f.name);
}

bool has_nul(std::string_view s) {
  return s.find('\0') != std::string_view::npos;
}

// Why the entry cannot be written, or null when it can.
const char* refusal(const Field& f) {
  std::string_view n = f.name;
  if (n.empty()) return "empty field name";
  if (n.size() > kSaveNameMax) return "field name too long";
  if (n.find_first_of(std::string_view(":\n\0", 3)) != std::string_view::npos)
    return "field name holds a colon, newline or zero byte";
  if (n.front() == '#' || n.front() == '@' || n.front() == ' ' || n.front() == '\t')
    return "field name starts with \"#\", \"@\", a blank or a tab";
  if (n.back() == ' ' || n.back() == '\t') return "field name ends with a blank or tab";
  std::string_view v = f.value ? std::string_view(*f.value) : std::string_view();
  if (has_nul(v)) return "value holds a zero byte";
  if (!f.has_file) return nullptr;
  if (!f.path || f.path->empty()) return "file entry without a file";
  if (v.find('\n') != std::string_view::npos) return "title holds a newline";
  if (is_related_file(f)) {
    if (n.size() + 2 + v.size() > kSaveLineMax) return "first line too long";
    return nullptr;
  }
  std::string_view s = f.stamp ? std::string_view(*f.stamp) : std::string_view();
  if (has_nul(s) || s.find('\n') != std::string_view::npos) return "stamp holds a newline";
  if (s.find("::") != std::string_view::npos || (!s.empty() && s.back() == ':'))
    return "stamp holds \"::\" or ends with \":\"";
  if (n.size() + 4 + s.size() + v.size() > kSaveLineMax) return "enclosure line too long";
  return nullptr;
}

class Writer {
 public:
  explicit Writer(std::FILE* out) : out_(out) {}
  bool ok() const { return ok_; }

  void put(std::string_view s) {
    if (ok_ && !s.empty() && std::fwrite(s.data(), 1, s.size(), out_) != s.size()) ok_ = false;
  }

  // One line of text, starting with `head`, cut into lines of at most
  // kSaveLineMax characters joined by "@".
  void chunked_line(std::string_view head, std::string_view text) {
    std::size_t room = kSaveLineMax > head.size() ? kSaveLineMax - head.size() : 0;
    put(head);
    put(text.substr(0, room));
    put("\n");
    for (std::size_t at = room; at < text.size(); at += kSaveLineMax - 1) {
      put("@");
      put(text.substr(at, kSaveLineMax - 1));
      put("\n");
    }
  }

  // A plain entry: the loader rebuilds the value from the first line, the
  // continuation lines (blank/tab kept), empty lines (one newline each) and
  // "@" lines (which take back the newline of an empty line before them).
  void plain(const Field& f) {
    std::string_view v = f.value ? std::string_view(*f.value) : std::string_view();
    std::size_t nl = v.find('\n');
    chunked_line(f.name + ": ", v.substr(0, nl));
    while (nl != std::string_view::npos) {
      v.remove_prefix(nl + 1);
      nl = v.find('\n');
      std::string_view line = v.substr(0, nl);
      if (line.empty()) {
        put("\n");
      } else if (line.front() == ' ' || line.front() == '\t') {
        chunked_line("", line);
      } else {
        put("\n");
        chunked_line("@", line);
      }
    }
  }

  // Text of a file entry, streamed: each line behind one blank.
  bool body(std::string_view piece) {
    if (has_nul(piece)) {
      ok_ = false;
      failure_ = "text holds a zero byte";
      return false;
    }
    while (!piece.empty()) {
      if (column_ == 0) {
        put(" ");
        column_ = 1;
      }
      std::size_t nl = piece.find('\n');
      std::string_view seg = piece.substr(0, nl);
      while (!seg.empty()) {
        if (column_ >= kSaveLineMax) {
          put("\n@");
          column_ = 1;
        }
        std::size_t take = std::min(seg.size(), kSaveLineMax - column_);
        put(seg.substr(0, take));
        column_ += take;
        seg.remove_prefix(take);
      }
      if (nl == std::string_view::npos) break;
      put("\n");
      column_ = 0;
      piece.remove_prefix(nl + 1);
    }
    return ok_;
  }
  void end_body() {
    if (column_ != 0) put("\n");
    column_ = 0;
  }
  const char* failure() const { return failure_; }

 private:
  std::FILE* out_;
  bool ok_ = true;
  std::size_t column_ = 0;
  const char* failure_ = nullptr;
};

// Streams the text of a file entry into the writer. 0 or -1 (message).
int write_text(const std::string& path, const Field& f, Writer& w) {
  auto sink = [&w](std::string_view s) { return w.body(s); };
  if (f.owns_file) {
    UniqueFile in = fopen_for_reading(*f.path, kMaxRecordFileSize);
    if (!in) {
      warn("savetable: %s: can't read the file of %s: %s\n", path.c_str(), f.name.c_str(),
           std::strerror(errno));
      return -1;
    }
    char piece[kCopyBlock];
    std::size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, in.get())) > 0)
      if (!sink(std::string_view(piece, got))) break;
    if (std::ferror(in.get())) {
      warn("savetable: %s: can't read the file of %s\n", path.c_str(), f.name.c_str());
      return -1;
    }
  } else {
    DfileBlock* b = dopen(f.path->c_str(), "r");
    if (b == nullptr) {
      warn("savetable: %s: can't open %s: %s\n", path.c_str(), f.path->c_str(),
           std::strerror(errno));
      return -1;
    }
    int rc = dftitle(b, f.name, f.value.value_or(""), 0, nullptr, kFgetfileBuffer);
    if (rc == kDfileOk || rc == kDfileNoRoom)
      rc = extract_body(b, sink);
    else
      rc = -1;
    dclose(b, 2);
    if (rc != 0 && w.ok()) {
      warn("savetable: %s: can't extract the text of %s \"%s\" in %s\n", path.c_str(),
           f.name.c_str(), f.value.value_or("").c_str(), f.path->c_str());
      return -1;
    }
  }
  if (w.failure() != nullptr) {
    warn("savetable: %s: %s: %s\n", path.c_str(), f.name.c_str(), w.failure());
    return -1;
  }
  w.end_body();
  return 0;
}

int write_entry(const std::string& path, const Field& f, Writer& w) {
  if (!f.has_file) {
    w.plain(f);
    return 0;
  }
  std::string_view title = f.value ? std::string_view(*f.value) : std::string_view();
  if (is_related_file(f)) {
    w.put(f.name + ": ");
  } else {
    w.put(f.name + "::");
    if (f.stamp) w.put(*f.stamp);
    w.put("::");
  }
  w.put(title);
  w.put("\n");
  return write_text(path, f, w);
}

}  // namespace

int savetable(const std::string& path, const FieldTable& t) {
  for (const auto& e : t.entries()) {
    if (const char* why = refusal(*e)) {
      warn("savetable: %s: can't store field %s: %s\n", path.c_str(), e->name.c_str(), why);
      return -1;
    }
  }
  AtomicFile file(path);
  if (file.open() != 0) {
    warnerr("savetable: %s", path.c_str());
    return -1;
  }
  Writer w(file.stream());
  for (const auto& e : t.entries()) {
    if (write_entry(path, *e, w) != 0) return -1;  // the new file is removed
    if (!w.ok()) break;
  }
  if (!w.ok()) {
    warnerr("savetable: %s: write failed", path.c_str());
    return -1;
  }
  if (file.commit() != 0) {
    warnerr("savetable: %s", path.c_str());
    return -1;
  }
  return 0;
}

}  // namespace plix

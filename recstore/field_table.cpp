#include "recstore/field_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "recstore/temp_files.h"
#include "util/files.h"
#include "util/messages.h"

namespace plix {

FieldTable::~FieldTable() { freefields(*this); }

namespace {

char fold(char c) {
  if (c == '_') return '-';
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

// Stores a new entry at the end: 0, or -1 after the capacity message or
// warnerr naming the field.
int store_new(std::string_view name, std::optional<std::string_view> value, FieldTable& t) {
  if (dfile_is_full(t) != 0) {
    errno = ENOSPC;
    warnerr("%.*s", static_cast<int>(name.size()), name.data());
    return -1;
  }
  auto f = newfield(name);
  setvalue(*f, value);
  t.entries().push_back(std::move(f));
  return 0;
}

// Unlinks an owned file: 0, or -1 with the message.
int unlink_owned(const Field& f) {
  if (f.has_file && f.owns_file && f.path && !f.path->empty()) {
    if (::unlink(f.path->c_str()) != 0 && errno != ENOENT) {
      warn("INTERNAL ERROR: Can't unlink %s: %s", f.path->c_str(), std::strerror(errno));
      return -1;
    }
    untrack_temp_file(*f.path);
  }
  return 0;
}

// Gives `dst` a private copy of src's file; src is extracted first when it
// does not own its file. 0 or -1.
int copy_attached_file(Field& src, std::optional<std::string>& dst_path) {
  FieldFileHooks& hooks = field_file_hooks();
  if (!src.owns_file) {
    if (!hooks.extract) {
      warn("INTERNAL ERROR: enclosures not initialized; can't copy %s\n", src.name.c_str());
      return -1;
    }
    if (hooks.extract(src) != 0) return -1;
  }
  if (!hooks.private_copy || !src.path) {
    warn("INTERNAL ERROR: enclosures not initialized; can't copy %s\n", src.name.c_str());
    return -1;
  }
  std::optional<std::string> tmp = hooks.private_copy(*src.path, "dencl");
  if (!tmp) return -1;
  dst_path = std::move(*tmp);
  return 0;
}

}  // namespace

bool fname_eq(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

bool fname_eq(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  return fname_eq(std::string_view(a), std::string_view(b));
}

std::unique_ptr<Field> newfield(std::string_view name) {
  if (name.size() > kMaxFieldName)
    line_err("Field name too long: %.*s", static_cast<int>(name.size()), name.data());
  auto f = std::make_unique<Field>();
  f->name = std::string(name);
  return f;
}

std::size_t findfield(std::string_view name, const FieldTable& t) {
  const auto& e = t.entries();
  for (std::size_t i = 0; i < e.size(); ++i)
    if (fname_eq(e[i]->name, name)) return i;
  return e.size();
}

const std::string* fieldvalue(std::string_view name, const FieldTable& t) {
  std::size_t i = findfield(name, t);
  if (i == t.size() || !t[i].value) return nullptr;
  return &*t[i].value;
}

int addfield(std::string_view name, std::optional<std::string_view> value, FieldTable& t) {
  std::size_t i = findfield(name, t);
  if (i < t.size()) {
    setvalue(t[i], value);
    return 0;
  }
  return store_new(name, value, t);
}

int appendfield(std::string_view name, std::optional<std::string_view> value, FieldTable& t) {
  return store_new(name, value, t);
}

void setstring(std::optional<std::string>& member, std::optional<std::string_view> text) {
  if (!text) {
    member.reset();
    return;
  }
  if (member)
    member->assign(text->data(), text->size());  // keeps the buffer when it fits
  else
    member.emplace(*text);
}

Field& setvalue(Field& f, std::optional<std::string_view> value) {
  setstring(f.value, value);
  return f;
}

Field& setstamp(Field& f, std::optional<std::string_view> stamp) {
  setstring(f.stamp, stamp);
  return f;
}

void delfield(std::string_view name, FieldTable& t) {
  std::size_t i = findfield(name, t);
  if (i == t.size()) return;
  auto& e = t.entries();
  if (disposefield(e[i]) != 0) return;  // the file stays; so does its entry
  e.erase(e.begin() + static_cast<std::ptrdiff_t>(i));
}

int disposefield(std::unique_ptr<Field>& slot) {
  if (!slot) return 0;
  if (unlink_owned(*slot) != 0) return -1;
  slot.reset();
  return 0;
}

void freefields(FieldTable& t) {
  for (auto& slot : t.entries()) {
    // A file that cannot be unlinked has been reported; the memory goes anyway.
    if (disposefield(slot) != 0) slot.reset();
  }
  t.entries().clear();
}

int clonefield(Field* src, std::unique_ptr<Field>& dst) {
  if (src == nullptr) return 0;
  auto copy = std::make_unique<Field>();
  copy->disabled = src->disabled;
  copy->has_file = src->has_file;
  copy->owns_file = src->owns_file;
  copy->name = src->name;
  copy->stamp = src->stamp;
  copy->value = src->value;
  if (src->has_file && src->path) {
    if (copy_attached_file(*src, copy->path) != 0) return -1;
    copy->owns_file = true;
  } else {
    copy->path = src->path;
  }
  if (dst) disposefield(dst);
  dst = std::move(copy);
  return 0;
}

void clonetable(FieldTable& src, FieldTable& dst) {
  if (!dst.empty()) {
    warn("ERROR: destintation table not empty in clonetable()");
    return;
  }
  for (auto& e : src.entries()) {
    if (dfile_is_full(dst) != 0) break;
    std::unique_ptr<Field> copy;
    if (clonefield(e.get(), copy) == 0 && copy) dst.entries().push_back(std::move(copy));
  }
}

int isclonefield(const Field* f, const FieldTable& t) {
  for (const auto& e : t.entries())
    if (e.get() == f) return 0;
  return 1;
}

int copyfield(Field* src, Field* dst) {
  if (src == nullptr || dst == nullptr) return 0;
  if (src == dst) return 0;
  int rc = 0;
  if (dst->has_file && dst->path) {
    if (unlink_owned(*dst) != 0) rc = -1;
    dst->path.reset();
  }
  dst->name = src->name;
  dst->value = src->value;
  dst->stamp = src->stamp;
  if (!src->has_file || !src->path) {
    dst->has_file = false;
    dst->owns_file = false;
    return rc;
  }
  if (copy_attached_file(*src, dst->path) != 0) {
    dst->has_file = false;
    dst->owns_file = false;
    return -1;
  }
  dst->has_file = true;
  dst->owns_file = true;
  return rc;
}

int dfile_is_full(std::size_t slot, const FieldTable& t) {
  if (slot + 1 >= t.slots()) {
    warn("INTERNAL ERROR: table size limit of %d fields exceeded.", static_cast<int>(t.slots()));
    return -1;
  }
  return 0;
}

int dfile_is_full(const FieldTable& t) { return dfile_is_full(t.size(), t); }

int quick_dffind(const std::vector<std::string>& names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (fname_eq(names[i], name)) return static_cast<int>(i);
  return -1;
}

const std::string* quick_dfvalue(const std::vector<std::string>& names,
                                 const std::vector<std::string>& values, std::string_view name) {
  int i = quick_dffind(names, name);
  if (i < 0 || static_cast<std::size_t>(i) >= values.size()) return nullptr;
  return &values[static_cast<std::size_t>(i)];
}

FieldFileHooks& field_file_hooks() {
  static FieldFileHooks* hooks = new FieldFileHooks;
  return *hooks;
}

}  // namespace plix

#include "template/pfield.h"

#include <cstdarg>

#include "util/messages.h"
#include "util/limits.h"

namespace plix {

namespace {


std::string& error_text() {
  static std::string* text = new std::string;
  return *text;
}

}  // namespace

pfield make_pfield(std::string name, std::optional<std::string> derivation) {
  pfield f;
  f.name = std::move(name);
  f.derivation = std::move(derivation);
  return f;
}

pfield make_end_marker() {
  pfield f;
  f.type = FT_END;
  return f;
}

pfield* find_pfield(PfieldArray& fields, std::string_view name) {
  for (auto& f : fields) {
    if (f.type == FT_END) break;
    if (f.name == name) return &f;
  }
  return nullptr;
}

bool field_is_valid(std::string_view name, const PfieldArray* fields) {
  if (fields == nullptr) return false;
  for (const auto& f : *fields) {
    if (f.type == FT_END) break;
    if (f.name == name && f.states && !f.states->empty()) return true;
  }
  return false;
}

void pl_free_pfields(PfieldArray& fields) { fields.clear(); }

void pl_set_error(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  if (s.size() > kMaxValueLength) s.resize(kMaxValueLength);
  error_text() = std::move(s);
}

const std::string& pl_get_error() { return error_text(); }

}  // namespace plix

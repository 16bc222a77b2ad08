#include "site/identifiers.h"

namespace plix {

namespace {

bool in_range(char c, char lo, char hi) {
  return c >= lo && c <= hi;
}

bool is_control(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7f;
}

/// The rule every path component from outside must pass.
bool safe_component(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name.front() == '.') return false;
  for (char c : name)
    if (c == '/' || is_control(c)) return false;
  return true;
}

}  // namespace

bool is_machid_shape(std::string_view id) {
  if (id.size() != kRecordIdLen) return false;
  for (std::size_t i = 0; i < kRecordIdLen; ++i) {
    char c = id[i];
    bool ok = i < 3 ? in_range(c, 'A', 'Z') : i < 5 ? in_range(c, 'a', 'z') : in_range(c, '0', '9');
    if (!ok) return false;
  }
  return true;
}

bool valid_record_id(std::string_view id) {
  return id.size() >= kRecordIdLen && safe_component(id) && id.find("..") == std::string_view::npos;
}

bool valid_project_name(std::string_view name) {
  return safe_component(name);
}

bool valid_class_name(std::string_view name) {
  return safe_component(name);
}

}  // namespace plix

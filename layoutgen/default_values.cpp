#include "layoutgen/default_values.h"

#include <cerrno>
#include <cstring>

#include "recstore/enclosures.h"
#include "recstore/temp_files.h"
#include "template/text_ops.h"
#include "util/files.h"
#include "util/filter_status.h"
#include "util/messages.h"

namespace plix {

namespace {

bool failed_status(int status) {
  return status == kFilterGoto || status == kFilterReturn || status == kFilterSkip ||
         status == kFilterBackUp || status == kFilterAbort;
}

// A "$" that names another field's value; "$$", "$~", "$!" and "$@" do not.
bool refers_to_other_field(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '$') continue;
    char next = text[i + 1];
    if (next == '$' || next == '~' || next == '!' || next == '@') {
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

// A text that the form needs and cannot have is reported and counted: the
// run must not end as if the form were whole.
void text_failed(const std::string& path) {
  warn("Can not read the text %s: %s\n", path.c_str(), std::strerror(errno));
  ++default_value_state().failures;
}

void enclosure_values(pfield& f, FieldTable* record) {
  if (record && f.label) {
    std::size_t at = findfile("Related-file", std::string_view(*f.label), *record);
    if (at < record->size()) {
      Field& file = (*record)[at];
      const bool extracted = !file.owns_file;
      const std::optional<std::string> stored_in = file.path;
      std::optional<std::string> path = fgetfile(&file);
      if (!path) {
        ++default_value_state().failures;  // fgetfile has said why
        return;
      }
      f.value = file2buf(*path);
      if (!f.value) text_failed(*path);
      // The extracted copy has served: it is not left lying about, and the
      // entry refers to its record again.
      if (extracted) {
        remove_temp_file(*path);
        file.owns_file = false;
        file.path = stored_in;
      }
      return;
    }
  }
  if (f.defaults && !f.defaults->empty()) {
    std::optional<std::string> text = file2buf(*f.defaults);
    if (text) f.default_value = std::move(text);
  }
}

}  // namespace

DefaultValueState& default_value_state() {
  static DefaultValueState* state = new DefaultValueState;
  return *state;
}

void reset_default_value_state() { default_value_state() = DefaultValueState{}; }

std::optional<std::string> eval_derivation(std::string_view derivation,
                                           const std::optional<std::string>& value,
                                           FieldTable& t) {
  const DefaultValueState& st = default_value_state();
  if (refers_to_other_field(derivation) || st.runner == nullptr || t.empty()) return value;
  std::string buffer = value.value_or("");
  addfield("Oneof-path", st.oneof_path, t);
  addfield("Filter-path", st.filter_path, t);
  int status = st.runner(std::string(derivation), buffer, t);
  delfield("Oneof-path", t);
  delfield("Filter-path", t);
  if (failed_status(status)) return value;
  if (buffer.size() > kMaxValueLength) buffer.resize(kMaxValueLength);
  return buffer;
}

const std::optional<std::string>& complex_def_value(pfield& f, FieldTable* record) {
  if (f.evaluated) return f.value;
  f.evaluated = 1;
  if (f.type == FT_ENCLOSURE) {
    enclosure_values(f, record);
    return f.value;
  }
  FieldTable blank;
  FieldTable* table = record;
  if (table == nullptr) {
    addfield(f.name, std::nullopt, blank);
    table = &blank;
  } else if (const std::string* v = fieldvalue(f.name, *record)) {
    f.value = *v;
  }
  if (!f.defaults) {
    f.default_value = f.value;
    return f.value;
  }
  std::string_view derivation = *f.defaults;
  std::size_t start = derivation.find_first_not_of(" \t\n\r\v\f");
  derivation.remove_prefix(start == std::string_view::npos ? derivation.size() : start);
  bool if_null = derivation.substr(0, 7) == "if null";
  if (!f.value) {
    f.default_value = eval_derivation(derivation, std::nullopt, *table);
  } else if (if_null) {
    f.default_value = f.value;
    (void)eval_derivation(derivation, f.value, *table);  // only for its side effects
  } else {
    f.default_value = eval_derivation(derivation, f.value, *table);
    f.value = f.default_value;
  }
  return f.value;
}

const std::optional<std::string>& def_value(pfield& f, FieldTable* record) {
  complex_def_value(f, record);
  return f.default_value;
}

bool field_is_datetime(std::string_view name, const std::optional<std::string>& schema) {
  if (!schema || name.empty()) return false;
  std::string column(name);
  for (char& c : column) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '-') c = '_';
  }
  std::size_t line = next_filter(*schema, 0, column);
  if (line == npos) return false;
  std::size_t type = next_token(*schema, line);
  if (type == npos) return false;
  return schema->compare(type, 8, "datetime") == 0;
}

}  // namespace plix

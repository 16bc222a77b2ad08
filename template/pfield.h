// A parsed template field (pfield) and the array that a template parse
// yields: one descriptor per template field in template order, ended by a
// descriptor of type FT_END.
//
// Texts that the parser cuts out (defaults, picklist, required, validation,
// help) hold one command per line, each line written as one blank, the
// command and a newline. The parser blanks consumed lines of `derivation`
// in place and never moves text, so `input_point` (an offset into
// `derivation`) stays valid until derivation is replaced.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>
#include "util/limits.h"

namespace plix {

/// Field types; the numbers are shared with the form description's readers.
enum FieldType : int {
  FT_NONE = 0,
  FT_TEXT = 1,
  FT_ENCLOSURE = 2,
  FT_DATETIME = 3,
  FT_EDATETIME = 4,
  FT_INTEGER = 5,
  FT_FLOAT = 6,
  FT_CHECKBOX = 7,
  FT_ONEOF = 8,
  FT_SOMEOF = 9,
  FT_COMBOBOX = 10,
  FT_VIEWONLY = 11,
  FT_DEFAULT = 12,
  FT_USER = 13,
  FT_SKIP = 14,
  FT_DEP_ONEOF = 15,
  FT_DEP_FIELD = 16,
  FT_END = 17,
};


struct pfield {
  int type = FT_NONE;
  std::optional<std::string> states;      ///< state letters in which the field is reached
  std::string name;                       ///< empty only in the end marker
  std::optional<std::string> derivation;  ///< standardized (then reduced) filter text
  /// Offset into derivation of the input conversion's "%" (for enclosures:
  /// derivation's length); nullopt when the field has no input point.
  std::optional<std::size_t> input_point;
  std::optional<std::string> label;
  std::optional<std::string> trailer;
  int row = -1;
  int col = -1;
  int size = -1;
  int length = -1;
  std::optional<std::string> picklist;
  std::optional<std::string> required;
  std::optional<std::string> defaults;
  std::optional<std::string> default_value;  ///< form generator: default or derived value
  std::optional<std::string> value;          ///< form generator: current value
  int evaluated = 0;                         ///< form generator: value computed
  std::optional<std::string> validation;
  std::optional<std::string> help;
  std::optional<std::string> aux_text;
  const char* display = nullptr;             ///< form generator: status word, static text
  std::optional<std::string> event_script;   ///< form generator: script of the field
  std::vector<pfield*> depends_on;           ///< dependent-picklist generator
  int depends_on_count = 0;
  std::vector<int> state_stack;  ///< per level: 0 taken, 1 not taken, 2 undecided
  int level = 0;
  std::optional<std::string> values_spec;
};

/// A parsed template; the last element has type FT_END.
using PfieldArray = std::vector<pfield>;

/// A fresh descriptor for one template field.
pfield make_pfield(std::string name, std::optional<std::string> derivation);
/// The end marker.
pfield make_end_marker();

/// The descriptor named exactly `name` (the end marker not included), or null.
pfield* find_pfield(PfieldArray& fields, std::string_view name);

/// True when the array holds a descriptor named exactly `name` that is
/// reached in some state (non-empty states).
bool field_is_valid(std::string_view name, const PfieldArray* fields);

/// Releases a parse (kept for symmetry with the parser's entry point; the
/// vector owns everything).
void pl_free_pfields(PfieldArray& fields);

/// The parser's last error message (at most 1023 characters are kept).
void pl_set_error(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
const std::string& pl_get_error();

}  // namespace plix

// The current and default value of each form field: the record's value, or
// what the field's derivation (its logic before the input point) computes;
// for enclosures the text of the record's related file or the initial file
// that the template names. Computed once per field and run.
//
// Derivations run through the template runtime. Until a runtime is
// installed (set_derivation_runner), every derivation counts as failed, and
// a field keeps its stored value (or has no default).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "template/pfield.h"
#include "util/limits.h"

namespace plix {


/// Runs filter commands with `value` as the field's value (in and out), the
/// table's first entry as the current field and the table as the record;
/// returns the filter status (250, 251, 252, 254, 255 mean failure).
using DerivationRunner = int (*)(const std::string& commands, std::string& value, FieldTable& t);

struct DefaultValueState {
  DerivationRunner runner = nullptr;
  std::string oneof_path;   ///< put into the table as Oneof-path while a derivation runs
  std::string filter_path;  ///< likewise Filter-path
  /// Texts the form needed and could not have (reported as they happen).
  int failures = 0;
};

DefaultValueState& default_value_state();
void reset_default_value_state();

/// The field's current value; computes current and default value on the
/// first call (record may be null: a new record).
const std::optional<std::string>& complex_def_value(pfield& f, FieldTable* record);
/// The field's default value (after complex_def_value).
const std::optional<std::string>& def_value(pfield& f, FieldTable* record);
/// The derived value when the derivation ran successfully, otherwise `value`.
std::optional<std::string> eval_derivation(std::string_view derivation,
                                           const std::optional<std::string>& value,
                                           FieldTable& t);
/// True when the schema gives the field a column whose type starts with "datetime".
bool field_is_datetime(std::string_view name, const std::optional<std::string>& schema);

}  // namespace plix

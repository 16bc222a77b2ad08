// Parsing a class template into field descriptors for one operation and a
// list of states.
//
//   pl_parse_template(path, "NA", 'p', fallback, current)
//     load       every template entry becomes a descriptor; its text is
//                standardized (a text that cannot be becomes null)
//     flow       per state: which fields the template's flow reaches
//                (goto, skip, return, abort decided as far as the parse can)
//     reduce     logic already decided by state, operation and records is resolved
//     steps      enclosure declarations, prompts, defaults, then type, help,
//                required and validation
//
// Operation letters: p enter (submit, clone, transition), m modify, q query
// (every field reached, then as m), v display, f output test.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "template/pfield.h"
#include "util/limits.h"

namespace plix {


/// The descriptors of a template, or nullopt with pl_get_error() set.
/// fallback supplies values of fields the flow passes over; current those of
/// the record being worked on. Either may be null.
std::optional<PfieldArray> pl_parse_template(std::optional<std::string_view> path,
                                             std::optional<std::string_view> states, char op,
                                             const FieldTable* fallback,
                                             const FieldTable* current);

/// Loads and standardizes a template; nullopt when it cannot be accessed or loaded.
std::optional<PfieldArray> pload_template(std::optional<std::string_view> path);

/// Marks in which states each field is reached: 0, or -1 with the error set
/// (an abort that the parse can decide fails it). A goto that leads back to
/// its own field ends the walk for that state.
int parse_states(PfieldArray* fields, std::optional<std::string_view> states, char op,
                 const FieldTable* current);

/// Search path kinds of pl_get_path.
enum PathKind : int { kHelpPath = 0, kOneofPath = 1, kFilterPath = 2 };

/// The template's search path of that kind: from the first "set" line of the
/// field Begin whose name starts with the key, with $Class replaced, else the
/// default. nullopt for an unknown kind.
std::optional<std::string> pl_get_path(int kind, const PfieldArray* fields,
                                       std::string_view klass);

}  // namespace plix

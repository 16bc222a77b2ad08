// Loading a class's picklists, and conditional picklists.
//
// pl_load_oneofs builds the table for one parse: first the class's project
// list (entry 0, "project_picklist"), then the list offered to queries
// (entry 1, "projectquery_picklist": the project list, or with
// View-closed-projects set in etc/plixrc its sorted union with the closed
// projects), then every list the descriptors name, in template order.
//
// A picklist line whose name part holds a variable depends on the value of
// another field. Its lists are written out as a conditional block, one
// branch per value of the controlling field:
//
//   oneof -f $Component.list     becomes     if equals "$Component" "db"
//                                            oneof -f db.list
//                                            elif equals "$Component" "ui"
//                                            oneof -f ui.list
//                                            else
//                                             oneof "<No Options>"
//                                            fi
//
// The controlling field's values come from its own lists, which must already
// be loaded (fields are handled in template order); for the variable Project
// they come from "project_picklist". A line whose controlling field has no
// loaded list, or is no picklist field, is kept as it is.
//
// Values are spliced into lines, so only values that cannot change what the
// line means or where it reads get a branch (safe_picklist_value): no "/",
// no ".", ".." (nothing may leave the search directories), no "$" (no new
// variable), no quote or backslash (no change of tokens). A second variable
// in a line gives a nested block; nesting stops after kMaxPicklistNesting
// levels, where the line is kept as it is, and a rewrite that would pass
// kMaxPicklistRewrite characters fails as a whole (the old text stays).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "template/pfield.h"
#include "template/picklist.h"
#include "util/limits.h"

namespace plix {


/// Names of the project lists in the table.
inline constexpr const char* kProjectPicklist = "project_picklist";
inline constexpr const char* kProjectQueryPicklist = "projectquery_picklist";

/// The table of a parse: project lists first, then the descriptors' lists,
/// each picklist field's text rewritten into its conditional form. The
/// search path is the class's Oneof-path (pl_get_path kind 1), given by the
/// caller. Null descriptors or class: nullopt.
std::optional<PickTable> pl_load_oneofs(PfieldArray* fields, const char* klass,
                                        std::string_view oneof_path);
/// Rewrites the picklist text of every picklist field into its conditional
/// form where the rewrite succeeds. Loads nothing.
void pl_expand_oneofs(PfieldArray* fields, const PickTable& table);
/// The conditional form of a picklist text: one line per line, leading
/// blanks removed, empty lines dropped, picklist lines expanded. nullopt for
/// no text or a failed rewrite.
std::optional<std::string> expand_oneof_expr(std::optional<std::string_view> text,
                                             const PfieldArray& fields, const PickTable& table);
/// Appends the expansion of one picklist line (starting at its command word)
/// to buf: 1, or 0 when an append fails. `depth` counts enclosing blocks.
int expand_oneof_line(std::string_view line, GrowBuffer& buf, const PfieldArray& fields,
                      const PickTable& table, int depth = 0);
/// The loaded lists of the field that controls a variable (see above);
/// nullopt when there is none.
std::optional<std::vector<std::vector<std::string>>> get_values(std::string_view name,
                                                                const PfieldArray& fields,
                                                                const PickTable& table);
/// Whether a value may be spliced into a picklist line (see above).
bool safe_picklist_value(std::string_view value);

}  // namespace plix

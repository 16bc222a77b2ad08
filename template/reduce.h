// Reduction of standardized filter logic at parse time: once the state,
// the operation and the record values of a parse are known, conditions
// whose outcome is already decided are resolved and their blocks removed,
// so that what is left describes only the choices made at run time.
//
// reduce_logic runs, on a fresh copy of the text:
//   expand_vars -> eval_logic -> collapse_logic -> remove_logic
//   -> remove_empty_logic
// The steps after the expansion rewrite their text in place: lines are
// blanked, and a decided condition is written as "true" or "false" after its
// keyword (the two blanks that standardization leaves after every condition
// make room for it; a shorter line is lengthened).
//
// Operation codes: 'p' enter, 'm' modify, 'q' query (reduced as 'm'),
// 'v' display, 'f' the runtime's output test.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "template/pfield.h"
#include "util/limits.h"

namespace plix {


/// What a condition is known to be at parse time.
enum Truth : int { kTrue = 0, kFalse = 1, kUndecided = 2 };

/// The reduced text, or nullopt when the text is null or its expansion is
/// too long (the caller then keeps the unreduced text). fields, fallback and
/// current may be null; name is the field being processed (for "$$" when
/// displaying).
std::optional<std::string> reduce_logic(std::optional<std::string_view> text, char state, char op,
                                        const PfieldArray* fields, const FieldTable* fallback,
                                        const FieldTable* current,
                                        std::optional<std::string_view> name);

/// Reduces the derivation of every descriptor reached in the parse (non-empty
/// states) for its first state; op 'q' counts as 'm'. A reduced derivation
/// replaces the old one and drops the now meaningless input_point.
void pstrip_logic(PfieldArray& fields, char op, const FieldTable* fallback,
                  const FieldTable* current);

/// Variable expansion into a new text: "$~" home directory, "$@" web user,
/// "$$" (with op 'v' and a name) the field itself, STATE and OPERATION, then
/// the current record's value, then (for fields the flow passes over, all
/// fields when fields is null) the fallback record's value. Other variables
/// stay for run time. nullopt for a null text or a result over
/// kMaxLogicText characters.
std::optional<std::string> expand_vars(std::optional<std::string_view> text, char state, char op,
                                       const PfieldArray* fields, const FieldTable* fallback,
                                       const FieldTable* current,
                                       std::optional<std::string_view> name);

/// Writes "true" or "false" over every if, elif, and, andif, or, orif
/// condition that eval_cmd decides. A "-f" test is left alone.
void eval_logic(std::string& text, char op);

/// Decides a condition (the text after its keyword, up to the newline):
/// kTrue, kFalse or kUndecided. Leading `not` words negate the test after
/// them.
int eval_cmd(std::string_view condition, char op);

/// Folds each if/elif head with the and/or lines below it pairwise, from
/// the bottom of the chain up, wherever a true or false operand decides or
/// drops one of the pair.
void collapse_logic(std::string& text);

/// Resolves every if block whose condition is exactly true or false: keeps
/// the branch taken, promotes the elif that follows a false if, and blanks
/// the rest with the block's own conditional lines.
void remove_logic(std::string& text);

}  // namespace plix

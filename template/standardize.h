// Standardization of a field's filter text: one command per line, leading
// white space and empty lines dropped, comments blanked, switch blocks
// rewritten into if/elif/else/fi chains, `then` lines dropped, `and`/`or`
// continuations split so that each branch's conditions come before its body,
// and a one-argument `equals` completed with the field being processed.
//
// The canonical shape is what the rest of the template parser relies on:
// every condition line is written as the line followed by two blanks and a
// newline (room for the reduction to write "true" or "false" in place), and
// every other line as the line followed by a newline.
//
// Calling order: standardize_derivation on a template entry's value; the
// block functions are its parts and are exported for the update-script
// writer and for tests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include "util/limits.h"

namespace plix {


/// Writes the canonical form of `text` into out (replacing it). Returns its
/// length, or -1 (out emptied) for a null text, a result over
/// kMaxLogicText characters, or a malformed if or switch block. The text
/// ends at its first NUL byte, as a stored value does.
int standardize_derivation(std::optional<std::string_view> text, std::string& out);

/// Standardizes the if or switch block whose line starts at pos into out
/// (replacing it): its length, or -1 when the line is neither, the block is
/// malformed or its result is over kMaxLogicText characters.
int standardize_logic(std::string_view text, std::size_t pos, std::string& out);
/// As standardize_logic, for an if block only (-1 at any other line).
int standardize_if(std::string_view text, std::size_t pos, std::string& out);
/// As standardize_logic, for a switch block only (-1 at any other line).
int standardize_switch(std::string_view text, std::size_t pos, std::string& out);

/// At an if line: the position (first non-blank character) of the fi line
/// that closes the block, counting nested if and fi lines; at a switch line
/// the same with switch and end. At any other line pos itself. npos when
/// the block is never closed.
std::size_t skip_logic(std::string_view text, std::size_t pos);

}  // namespace plix

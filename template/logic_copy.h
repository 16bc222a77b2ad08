// Cutting sub-texts out of a field's filter logic by line kind, and
// dropping conditional blocks that are left without content.
#pragma once

#include <string>
#include <string_view>

#include "template/pfield.h"

namespace plix {

/// What copy_logic selects besides the conditional lines.
enum CopyMode : int {
  kCopyDefaults = 0,    ///< lines before the input point (all without one)
  kCopyOneof = 1,       ///< oneof lines
  kCopySomeof = 2,      ///< someof lines
  kCopyCombobox = 3,    ///< combobox lines
  kCopyHelp = 4,        ///< help lines
  kCopyRequired = 5,    ///< required lines
  kCopyValidation = 6,  ///< lines after the input point
  kCopyFlow = 7,        ///< goto, skip, return, abort lines
};

/// True when the line starting at pos (its first non-blank character) is one
/// of if, elif, else, fi, and, andif, or, orif.
bool is_conditional_line(std::string_view text, std::size_t pos);

/// Writes the selected lines of f.derivation, each with the conditional
/// lines around it, as " <line>\n" into out (replacing it). Blank lines are
/// passed over. A null derivation gives an empty text.
void copy_logic(const pfield& f, std::string& out, int mode);

/// Blanks every if...fi block that holds nothing but conditional lines,
/// innermost first, until nothing changes.
void remove_empty_logic(std::string& text);

/// True when the text holds nothing but white space.
bool blank_text(std::string_view text);

}  // namespace plix

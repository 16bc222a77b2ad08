// Prompt lines of a field: the lines of its filter text whose first
// non-blank character is '"'. Their quoted contents form the prompt text:
//
//   [\(row,col)] label % [+|-] [width] [. precision] letter trailer
//
// The "%" that carries the conversion is the field's input point: lines
// before it compute the default, lines after it validate the input.
//
// Escapes in label and trailer:
//   \( ... )   dropped through the ")" (a position marker elsewhere)
//   \101       octal character code, all octal digits taken (low 8 bits;
//              a resulting code 0 is dropped)
//   \[xyz      the "[" and the three characters after it dropped
//   \a \b \e \f \k \n \r   dropped
//   \x         any other character x is kept (\" and \% included)
// An escaped "%" is not a conversion; an escaped '"' does not end a line's
// quoted text.
//
// Calling order inside parse_prompts: copy_prompts, parse_prompt, then the
// prompt lines are blanked.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "template/pfield.h"
#include "util/limits.h"

namespace plix {


/// Collects the prompt text of f.derivation into out (replacing it) and sets
/// f.input_point to the "%" of the input line. A null derivation gives an
/// empty text.
void copy_prompts(pfield& f, std::string& out);

/// Reads a collected prompt text: sets row/col (from a marker at its very
/// start), label, and with a conversion size, length, type and trailer.
/// Without a conversion a label makes the type FT_VIEWONLY.
void parse_prompt(pfield& f, std::string_view text);

/// The text up to the first unescaped "%", escapes resolved; nullopt when
/// that is empty.
std::optional<std::string> copy_label(std::string_view text);

/// The prompt step for every reached, non-enclosure descriptor: collects and
/// reads the prompt, then blanks every prompt line and drops empty blocks.
void parse_prompts(PfieldArray& fields);

/// True when the line at pos starts, after blanks, with '"'.
bool is_prompt_line(std::string_view text, std::size_t pos);

}  // namespace plix

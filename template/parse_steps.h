// The parse steps that fill a descriptor from its filter text once the flow
// analysis and the reduction are done. The template parser calls them in
// this order:
//
//   parse_enclosures   Related-file / History: title, initial file, required
//   parse_prompts      (template/prompts.h) label, position, width, type
//   parse_defaults     lines before the input point
//   parse_validation   parse_type (+ parse_oneofs), parse_help,
//                      parse_required, then the rest after the input point
//
// Each step stores what it cuts out (copy_logic, then remove_empty_logic)
// and blanks the lines it consumed in place, so later steps see only what
// is left and input_point stays valid.
#pragma once

#include <string_view>

#include "template/pfield.h"

namespace plix {

/// True for the fields whose value is an enclosure list: Related-file (by
/// fname_eq) and exactly History.
bool is_enclosure_field(std::string_view name);

/// For each reached enclosure field: type FT_ENCLOSURE, the declaration's
/// title as label, -i file as defaults, "req"/"Req" as required, the whole
/// text as validation, input_point at the end of derivation. An unknown
/// editfile option is reported on standard error.
void parse_enclosures(PfieldArray& fields);

/// Lines before the input point (all without one) become defaults when not
/// empty; an FT_NONE field then becomes FT_DEFAULT. Runs for reached and
/// for FT_SKIP descriptors, not for enclosures.
void parse_defaults(PfieldArray& fields);

/// For reached non-enclosure descriptors with an input point: type checks,
/// help, required, then validation (stored even when empty).
void parse_validation(PfieldArray& fields);

/// The first value-check line after the input line decides the type
/// (unless FT_SKIP); a picklist command also fills picklist. Every
/// value-check line of the text is then blanked.
void parse_type(pfield& f);
/// help lines with their conditional lines into help; help lines blanked.
void parse_help(pfield& f);
/// required lines with their conditional lines into required; blanked.
void parse_required(pfield& f);
/// The picklist lines of the command that f.type names (FT_ONEOF, FT_SOMEOF,
/// FT_COMBOBOX) with their conditional lines into picklist. Blanks nothing.
void parse_oneofs(pfield& f);
/// parse_help for every descriptor, reached or not.
void parse_helps(PfieldArray& fields);

}  // namespace plix

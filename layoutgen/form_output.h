// The form description on standard output: one record per form element in
// page order, each a list of key and value pairs.
//
//   key [FS] NL value [FS] NL ... [RS] NL        FS = 0x1C, RS = 0x1E
//
// Order: the script header; scripts of dependent picklists; the Project
// pseudo-record when no project is known; one record per shown template
// field (query and convert write the Status pseudo-record in place of the
// Status field); the group records; "Miscellaneous Fields"; in verbose mode
// the picklist listing.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "layoutgen/layoutgen.h"
#include "util/limits.h"

namespace plix {

inline constexpr char kFS = '\x1c';
inline constexpr char kRS = '\x1e';

/// The script header record of a browser type.
std::string script_header(int browser_type);

/// "&#NNN;" sequences become the byte NNN modulo 256. A reference to the
/// byte 0 or to a separator (FS, RS) stays as it is, and separator bytes of
/// the text itself are dropped: a value can never end its key or record.
std::string decode_char_refs(std::string_view text);
/// The same, appended to `out`.
void append_decoded(std::string& out, std::string_view text);
/// The text without its separator bytes, appended to `out`.
void append_plain(std::string& out, std::string_view text);

/// Bytes collected before they go to the stream: large forms are written in
/// pieces instead of being held whole.
inline constexpr std::size_t kOutputChunk = 65536;

/// Writes the description after the header record to `stream`. Returns 0,
/// or the exit status of a failure that ends the run (its message already
/// on stderr; what was written before it stays written).
int write_form(LayoutgenRun& run, std::FILE* stream);

}  // namespace plix

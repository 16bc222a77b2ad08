// Writing a FieldTable as a record file that loads back to the same table.
//
// What survives a savetable/loadtable round trip: every name the format can
// hold, every value without zero bytes (several lines, lines that start with
// a blank, tab, "#", "@" or nothing, a final newline), and every file entry
// with its stamp, title and text. What cannot survive, by the format's rules:
//   - leading blanks and tabs of a value or title (the loader drops them);
//   - a null value (it loads as the empty text);
//   - a text without a final newline (it comes back with one);
//   - a plain entry named Related-file: it loads as a file entry (a file
//     entry of that name whose stamp is its name, or null, is written as
//     "Related-file: title" and loads with its name as stamp);
//   - several plain entries of one name under loadtable (it merges them;
//     appendtable keeps them).
// Tables that the format cannot hold are refused with a message: names that
// are empty, hold ":" or a newline, start with "#", "@", a blank or a tab,
// end with a blank or tab, or exceed kSaveNameMax; zero bytes; titles or
// stamps with a newline; stamps that hold "::" or end with ":"; an
// enclosure's first line longer than kSaveLineMax.
//
// Lines are kept within kSaveLineMax characters ("@" continuation lines carry
// the rest), so readers that skip entries with a line buffer never stumble.
//
// The file is replaced atomically (AtomicFile): on any failure the old file
// is untouched. A file entry's text comes from its own temporary file or, for
// a reference, from the record file it names (read before the rename, so the
// table may refer to the very file being replaced).
#pragma once

#include <cstddef>
#include <string>

#include "recstore/field_table.h"
#include "util/limits.h"

namespace plix {


/// Writes t to path, replacing any old file atomically and keeping its
/// permissions. 0, or -1 with a message (the old file untouched).
int savetable(const std::string& path, const FieldTable& t);

}  // namespace plix

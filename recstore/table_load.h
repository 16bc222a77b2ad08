// Loading a whole record file into a FieldTable.
//
// Values lose their leading blanks and tabs and exactly one final newline.
// Enclosure and Related-file entries become file entries that refer to the
// record file (has_file set, owns_file clear, path = the record file, value =
// the title, stamp = the enclosure stamp or, for Related-file, the name);
// their bodies are moved past, never read into memory. With
// Load_related_files set they load as plain values instead.
//
// The loader's buffer starts at 1024 bytes and doubles whenever an entry
// does not fit, up to kMaxEntrySize: a larger entry fails the load. It keeps
// its size for later loads unless it grew past kLoadBufferKept.
#pragma once

#include <string>

#include "recstore/field_table.h"
#include "recstore/record_file.h"
#include "util/limits.h"

namespace plix {

/// Initial size of the loader's buffer.
inline constexpr std::size_t kLoadBufferInitial = 1024;
/// Largest loader buffer kept between loads.
inline constexpr std::size_t kLoadBufferKept = 64 * 1024;

/// Loads `path`, entries of a name already present replacing its value.
/// Waits first while the file holds exactly one byte (being written), at
/// most once per process.
/// 0, or -1 with a message.
int loadtable(const std::string& path, FieldTable& t);
/// Loads `path` with every entry appended (no wait). 0 or -1.
int appendtable(const std::string& path, FieldTable& t);
/// The loader proper on an open block; how 'm' merges (addfield), 'a'
/// appends (appendfield). 0, or -1 with a message.
int dloadtable(DfileBlock* b, const std::string& path, FieldTable& t, char how);

}  // namespace plix

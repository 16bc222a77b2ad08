// Files attached to record entries (enclosures and related files).
//
// A file entry is a Field with has_file set: value = title, stamp = stamp.
// Without owns_file, path is the record file that stores the text as the
// body of an entry of the same name and title; fgetfile extracts it into a
// temporary file, which the entry owns from then on (deleted with it).
//
// A body in a record file: the lines after the entry's first line that start
// with a blank or tab, each without that first character; "@" lines join the
// line before; an empty text line is stored as a line holding one blank; a
// truly empty line, "#" line or any other line ends the body.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "recstore/record_file.h"

namespace plix {

/// Title length used when dftitle is given size 0.
inline constexpr long kDftitleDefaultSize = 2000;
/// Buffer fgetfile searches with.
inline constexpr long kFgetfileBuffer = 1024;

/// Installs the field table's hooks: extraction by fgetfile, temporary names
/// by plixtempnam in dtmp(). dfile_init calls it.
void enclosures_init();

/// A private copy of the file at src in a new temporary file named with
/// `prefix`: mode 0600, or the original's if narrower; tracked for removal
/// at exit. Its path, or nullopt with errno.
std::optional<std::string> private_copy(const std::string& src, const char* prefix);

/// Appends an entry with a file (path must be readable, else nullopt without
/// a message) and attaches the file by faddfile. The slot index or nullopt.
std::optional<std::size_t> addfile(std::string_view name, std::optional<std::string_view> value,
                                   std::optional<std::string_view> stamp, const std::string& path,
                                   FieldTable& t, int how);
/// Attaches a file: how 1 refers to path, 3 takes the file over, any other
/// copies it to a private "daddf" file. A previously owned file is deleted
/// once the new one is in place. 0 or -1 (the entry unchanged).
int faddfile(Field& f, std::optional<std::string_view> value, std::optional<std::string_view> stamp,
             const std::string& path, int how);
/// Makes sure the named entry has a file (a new empty "setf" file). 0 or 255.
int setfile(std::string_view name, FieldTable& t);
/// First file entry named `name` whose value is `title` (any title when
/// nullopt); t.size() when none.
std::size_t findfile(std::string_view name, std::optional<std::string_view> title,
                     const FieldTable& t);
/// Removes and releases every entry named `name` whose value is `title`.
void delfile(std::string_view name, std::string_view title, FieldTable& t);
/// Extracts a referenced text into a temporary file that the entry then
/// owns; returns its path (an owned file's path as it is). nullopt with a
/// message on failure.
std::optional<std::string> fgetfile(Field* f);

/// From the current position, finds the next entry `name` whose title fits
/// (how 1: the value's first line begins with the title; else equals it;
/// leading blanks ignored on both sides) and leaves the stream at its first
/// line. Code of the dfind that found it (1 or -4), or the code that ended
/// the search. Null buffer: an internal one; size 0 means 2000.
int dftitle(DfileBlock* b, std::string_view name, std::string_view title, int how, char* buffer,
            long size);
/// Writes the body of the entry at the current position to `path` (created
/// new, never over an existing file) or to a new "dfile" temporary file when
/// nullopt; the stream is put back. The path written, or nullopt with
/// dopenflag set (-3, -4, -7); a partly written file is removed.
std::optional<std::string> dgetfile(DfileBlock* b, const std::optional<std::string>& path);

/// Receives extracted text piece by piece; false stops with a write failure.
using BodySink = std::function<bool(std::string_view)>;
/// Streams the body of the entry at the current position to `sink`; the
/// stream is put back. 0, or -7 when the sink fails, the body holds a zero
/// byte, or the file cannot be read.
int extract_body(DfileBlock* b, const BodySink& sink);

}  // namespace plix

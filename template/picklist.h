// Picklists: the allowed values of oneof / someof / combobox fields, and the
// table that caches every loaded list by the name part of its line.
//
// A picklist line is the command word, optionally "-i" (passed over),
// optionally one further option starting with "-", then the name part (the
// rest of the line, trailing white space removed):
//
//   oneof red "dark blue" green      PL_LIST:   the tokens of the name part
//   oneof -f colors.list             PL_FILE:   the file's lines
//   someof -d people.rec Members     PL_RECORD: the tokens of a record field
//
// File names lose their '"' characters. "/..." is used as it is, "$~/..."
// lies under the home directory, anything else is looked for in the
// directories of the search path ("dir:dir"; relative ones under the home),
// the first existing candidate winning. No candidate, an unreadable or empty
// file, or a missing field: the list exists with no values.
//
// A PickTable only grows: a list is stored at the first free slot and keeps
// its index for good. When the end marker is the first free slot the table
// doubles (64 entries, then 126, 250, ...). A Picklist* or reference into the
// table is valid only until the next list is added.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "util/limits.h"

namespace plix {

/// Kinds of a table entry.
enum PicklistKind : int {
  PL_FREE = 0,    ///< free slot
  PL_LIST = 1,    ///< inline tokens
  PL_FILE = 2,    ///< lines of a file
  PL_RECORD = 3,  ///< tokens of a record file's field (or of the whole file)
  PL_END = 4,     ///< end of the table
};

/// Entries of a new table (the last one is the end marker, so 63 lists fit).
inline constexpr std::size_t kPickTableInitial = 64;
/// First allocation of a GrowBuffer.
inline constexpr std::size_t kGrowBufferInitial = 4096;

/// The values of a list, read like a vector. Lists read from one file share
/// one copy of its values; a change (mut) makes the list its own copy first.
class PickValues {
 public:
  using value_type = std::string;
  using const_iterator = std::vector<std::string>::const_iterator;
  using iterator = const_iterator;

  PickValues() = default;
  PickValues(std::vector<std::string> v)  // NOLINT: a vector is a list of values
      : p_(std::make_shared<std::vector<std::string>>(std::move(v))) {}
  PickValues(std::initializer_list<std::string> v)
      : p_(std::make_shared<std::vector<std::string>>(v)) {}

  const std::vector<std::string>& vec() const;
  bool empty() const { return vec().empty(); }
  std::size_t size() const { return vec().size(); }
  const std::string& operator[](std::size_t i) const { return vec()[i]; }
  const_iterator begin() const { return vec().begin(); }
  const_iterator end() const { return vec().end(); }
  /// The values to change; no longer shared with any other list.
  std::vector<std::string>& mut();
  friend bool operator==(const PickValues& a, const std::vector<std::string>& b) {
    return a.vec() == b;
  }

 private:
  std::shared_ptr<std::vector<std::string>> p_;
};

struct Picklist {
  int kind = PL_FREE;
  /// Key: the name part of the line that loaded the list, or a name given
  /// afterwards ("project_picklist", "" for a merged list).
  std::string name;
  /// Values in source order (merged lists: sorted); empty means none.
  PickValues values;
};

/// A file as the picklists know it: several spellings of its name ("x",
/// "./x", "d/../x") are one file, read once.
struct PickFileKey {
  dev_t dev;
  ino_t ino;
  int kind;
  std::string field;  ///< PL_RECORD: the field taken
  bool operator<(const PickFileKey& o) const;
};

struct PickTable {
  /// A fresh table: kPickTableInitial entries, all free but the end marker.
  PickTable();
  /// Always ends with a PL_END entry.
  std::vector<Picklist> entries;
  /// The values of every file read for this table, by the file's identity.
  std::map<PickFileKey, PickValues> files;
};

/// Text buffer of the picklist rewrite: starts at 4096 characters, doubles
/// when an append would reach its capacity, and refuses to grow past
/// `limit` (an append beyond it fails as if memory had run out).
struct GrowBuffer {
  std::string data;
  std::size_t capacity = 0;
  std::size_t limit = static_cast<std::size_t>(-1);
};

/// Appends text: 1, or 0 for a null text or when the buffer may not grow.
int add2buffer(GrowBuffer& buf, const char* text);
int add2buffer(GrowBuffer& buf, std::string_view text);

/// The PicklistKind of a line's command word: PL_LIST for a plain picklist
/// line, PL_FILE for "-f", PL_RECORD for "-d"; PL_FREE when the line (after
/// leading blanks) is no oneof / someof / combobox line.
int picklist_kind(std::string_view line);
/// The name part of the line's first line, or nullopt for a line that is no
/// picklist line or has no name part.
std::optional<std::string> get_oneof_name(std::string_view line);
/// The list that the line names, read now (no table). All zero (PL_FREE, no
/// name, no values) for no picklist line or no name part. With `files`, a
/// file read before under any name is not read again.
Picklist get_oneof_from_line(std::string_view line, std::string_view search_path,
                             std::map<PickFileKey, PickValues>* files = nullptr);
/// The contents of the file that a name part names (PL_FILE: the whole file;
/// PL_RECORD: the field's value, or the whole file without a field name);
/// nullopt when nothing can be read. Other kinds: nullopt.
std::optional<std::string> oneof2buf(std::string_view name, std::string_view search_path, int kind);
/// Values of a text: its lines for PL_FILE (leading white space and empty
/// lines passed over, trailing blanks kept), its tokens otherwise. The text
/// ends at its first NUL byte. nullopt for no text or no values.
std::optional<std::vector<std::string>> buf2values(std::optional<std::string_view> text, int kind);

/// Index of the first entry named exactly `name`, else of the first free
/// slot or the end marker, whichever comes first.
std::size_t which_oneof(const PickTable& table, std::string_view name);
/// Loads the line's list into the table (created when absent) unless a list
/// of the same name part is already there. Empty lines, lines that are no
/// picklist lines and lines without a name part change nothing else.
PickTable& load_oneof(std::string_view line, std::optional<PickTable>& table,
                      std::string_view search_path);

/// The line's values, read without a table; nullopt when there are none.
std::optional<std::vector<std::string>> pl_get_oneof(std::string_view line,
                                                     std::string_view search_path);
/// The table entry of the line, loading it when needed; null when the table
/// does not exist, the line is no picklist line, or the list has no values.
Picklist* pl_find_oneof(std::optional<PickTable>& table, std::string_view line,
                        std::string_view search_path);
/// The sorted union of every list named by the oneof, then the someof, then
/// the combobox lines of the text, kept in a new entry named "". Null when
/// the table does not exist or no list had values.
Picklist* pl_merge_oneofs(std::optional<PickTable>& table, std::string_view text,
                          std::string_view search_path);
/// The same; also gives the index of the new entry (which exists even when
/// the result is null because nothing was merged).
Picklist* pl_merge_oneofs(std::optional<PickTable>& table, std::string_view text,
                          std::string_view search_path, std::size_t* slot);
/// Appends the values of src that dst does not hold yet, in src's order. A
/// free dst becomes an empty PL_LIST first; a free src is an internal
/// fault: "AHHH! merge_list" and exit status 1.
void merge_list(const Picklist& src, Picklist& dst);
/// True when value is among values.
bool finddups(const std::vector<std::string>& values, std::string_view value);
inline bool finddups(const PickValues& values, std::string_view value) {
  return finddups(values.vec(), value);
}
/// Releases the table; an absent table is ignored.
void pl_free_picklists(std::optional<PickTable>& table);

}  // namespace plix

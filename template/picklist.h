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

#include <algorithm>
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

/// The values of a list, read like a vector of texts. The texts lie in a
/// few large blocks rather than one allocation each (a large class loads
/// tens of thousands of values per form), and lists read from one file
/// share one copy; a change makes the list its own copy first.
class PickValues {
 public:
  using value_type = std::string_view;
  using const_iterator = std::vector<std::string_view>::const_iterator;
  using iterator = const_iterator;

  PickValues() = default;
  PickValues(const std::vector<std::string>& v);  // NOLINT: a vector is a list of values
  PickValues(std::initializer_list<std::string_view> v);
  /// Values that are pieces of `text` (offset and length each), which the
  /// list then keeps.
  static PickValues of_text(std::string text,
                            const std::vector<std::pair<std::size_t, std::size_t>>& pieces);
  /// The lines of a list file as values: leading white space and empty
  /// lines passed over, each value cut to max_length; the text ends at a NUL.
  static PickValues of_lines(std::string text, std::size_t max_length);
  /// Copies of the views, whatever holds them now.
  static PickValues of_views(const std::vector<std::string_view>& views);

  bool empty() const { return size() == 0; }
  std::size_t size() const { return p_ ? p_->count : 0; }
  std::string_view operator[](std::size_t i) const { return views()[i]; }
  const_iterator begin() const { return p_ ? views().begin() : const_iterator(); }
  const_iterator end() const { return p_ ? views().end() : const_iterator(); }
  /// All values joined by newlines, when they lie so in one text already (a
  /// list file without indentation or empty lines); nullopt otherwise.
  std::optional<std::string_view> joined() const {
    if (p_ && p_->joined) return p_->joined;
    return std::nullopt;
  }
  /// True when every value is greater than the one before (byte order).
  bool strictly_sorted() const;
  /// Appends a copy of the value (the list is made its own first).
  void push_back(std::string_view v);
  /// True when no value holds "&" or a control byte below 0x20 other than
  /// tab: such values can be written anywhere as they are.
  bool plain() const;
  /// What plain() answers, known from where the values came from.
  void set_plain(bool plain) {
    if (p_) p_->plain = plain ? 1 : 0;
  }
  /// Whether a text holds neither "&" nor a control byte other than tab
  /// (nor newline when `lines`).
  static bool plain_text(std::string_view text, bool lines);
  /// The values as owned texts.
  std::vector<std::string> strings() const { return {begin(), end()}; }
  friend bool operator==(const PickValues& a, const std::vector<std::string>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  struct Payload {
    std::deque<std::string> blocks;  ///< where the texts lie; never moved
    std::size_t count = 0;
    /// The values one by one; made from `joined` on first use when that is
    /// set (most lists are only written whole).
    mutable std::vector<std::string_view> views;
    mutable bool views_made = true;
    std::optional<std::string_view> joined;
    mutable int plain = -1;  ///< unknown, 0 or 1
  };
  const std::vector<std::string_view>& views() const;
  std::shared_ptr<Payload> p_;
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
  return std::find(values.begin(), values.end(), value) != values.end();
}
/// Releases the table; an absent table is ignored.
void pl_free_picklists(std::optional<PickTable>& table);

}  // namespace plix

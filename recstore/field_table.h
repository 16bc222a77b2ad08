// Records in memory. A FieldTable is an ordered list of named entries
// (Field), in insertion or file order. Names compare by fname_eq: case is
// ignored and "-" equals "_". Several entries may share a name (appendfield,
// several enclosures of one field); lookups find the first.
//
// A table has a number of slots (normally kTableSlots); the last slot must
// stay empty, so a table holds at most slots-1 entries. A slot index equal to
// size() stands for the terminating slot, where a new entry would go.
//
// Entries with an attached file: has_file set and path naming either a
// private temporary file (owns_file, deleted with the entry) or the record
// file that holds the text as an enclosure (extracted on demand through the
// hooks below, which the enclosure module installs).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "util/limits.h"

namespace plix {


struct Field {
  bool disabled = false;
  bool has_file = false;
  bool owns_file = false;
  std::string name;
  std::optional<std::string> path;   ///< attached file; nullopt without one
  std::optional<std::string> stamp;  ///< enclosure stamp; nullopt for plain fields
  std::optional<std::string> value;  ///< value, or an enclosure's title
};

class FieldTable {
 public:
  explicit FieldTable(std::size_t slots = kTableSlots) : slots_(slots) {}
  FieldTable(const FieldTable&) = delete;
  FieldTable& operator=(const FieldTable&) = delete;
  FieldTable(FieldTable&&) = default;
  FieldTable& operator=(FieldTable&&) = default;
  /// Releases every entry (owned files are unlinked).
  ~FieldTable();

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::size_t slots() const { return slots_; }
  Field& operator[](std::size_t i) { return *entries_[i]; }
  const Field& operator[](std::size_t i) const { return *entries_[i]; }
  /// The entries themselves; never holds a null pointer.
  std::vector<std::unique_ptr<Field>>& entries() { return entries_; }
  const std::vector<std::unique_ptr<Field>>& entries() const { return entries_; }

 private:
  std::size_t slots_;
  std::vector<std::unique_ptr<Field>> entries_;
};

/// Name equality: case-insensitive, "-" and "_" equal, lengths must agree.
bool fname_eq(std::string_view a, std::string_view b);
/// As above; a null name equals nothing.
bool fname_eq(const char* a, const char* b);

/// New entry with a copy of the name; a name over 79 characters is reported
/// through line_err ("Field name too long: %s") and the entry made anyway.
std::unique_ptr<Field> newfield(std::string_view name);

/// Index of the first entry named `name`, or t.size() (the terminating slot).
std::size_t findfield(std::string_view name, const FieldTable& t);
/// Value of the first entry named `name`; null when absent or valueless.
const std::string* fieldvalue(std::string_view name, const FieldTable& t);
/// Replaces the first entry's value, or appends a new entry. 0 or -1 (full).
int addfield(std::string_view name, std::optional<std::string_view> value, FieldTable& t);
/// Always appends a new entry. 0 or -1 (full).
int appendfield(std::string_view name, std::optional<std::string_view> value, FieldTable& t);

/// Sets a string member; nullopt makes it null.
void setstring(std::optional<std::string>& member, std::optional<std::string_view> text);
Field& setvalue(Field& f, std::optional<std::string_view> value);
Field& setstamp(Field& f, std::optional<std::string_view> stamp);

/// Removes the first entry of that name, keeping the others' order.
void delfield(std::string_view name, FieldTable& t);
/// Releases the entry (unlinking an owned file first) and nulls the slot.
/// An owned file that cannot be unlinked: message, -1, entry kept.
int disposefield(std::unique_ptr<Field>& slot);
/// Releases every entry; the table is then empty.
void freefields(FieldTable& t);

/// Deep copy of src into dst (any old dst entry is released). A file of src
/// is extracted first when src does not own it, then copied to a private
/// temporary "dencl" file owned by the copy. Null src: 0, dst untouched.
int clonefield(Field* src, std::unique_ptr<Field>& dst);
/// Clones every entry of src into the empty table dst.
void clonetable(FieldTable& src, FieldTable& dst);
/// 0 when this very object is an entry of t, 1 otherwise.
int isclonefield(const Field* f, const FieldTable& t);
/// Makes dst a copy of src in place (dst's disabled flag kept). Null: 0.
int copyfield(Field* src, Field* dst);

/// Capacity check before an entry is stored at slot index `slot`:
/// 0, or -1 with "INTERNAL ERROR: table size limit of %d fields exceeded.".
int dfile_is_full(std::size_t slot, const FieldTable& t);
/// The same for the terminating slot.
int dfile_is_full(const FieldTable& t);

/// Index of `name` in `names` by fname_eq, or -1.
int quick_dffind(const std::vector<std::string>& names, std::string_view name);
/// The parallel entry of `values`, or null.
const std::string* quick_dfvalue(const std::vector<std::string>& names,
                                 const std::vector<std::string>& values, std::string_view name);

/// Services of the enclosure layer used for copies of attached files.
struct FieldFileHooks {
  /// Extracts a not-owned file so that the field owns a temporary copy: 0 or -1.
  int (*extract)(Field& f) = nullptr;
  /// A private copy of a file under a new temporary name with the given
  /// prefix (tracked for removal at exit), or nullopt.
  std::optional<std::string> (*private_copy)(const std::string& src, const char* prefix) = nullptr;
};
/// The installed hooks (the enclosure module sets them at start-up).
FieldFileHooks& field_file_hooks();

}  // namespace plix

// Record files: the one text format of records and configuration files, and
// the dfile access library over it.
//
// Format, line by line. An entry starts with a line whose first character is
// not "#", blank, tab or newline (such lines before an entry are skipped):
// "Name: value". "Name::stamp::title" marks an enclosure (the stamp part is
// optional). Following lines belong to the entry while they start with a
// blank or tab (continuation, kept whole), "@" (joined to the line before
// without the line break), "#" (comment, dropped) or are empty (one
// newline). Any other line starts the next entry.
//
// Calling order: dopen -> dread / dfind / dforward ... -> dclose. After code 1
// the stream stands at the first line of the entry just delivered (so that an
// enclosure body can be extracted from there); the next read moves past it.
// The texts that a block points at live in the caller's buffer and stay valid
// until the next read with that buffer.
//
// Write mode ("w") copies every entry moved past to a temporary output file;
// dclose(block, 1) passes the rest through and replaces the file with it
// atomically. From dopen to dclose the block holds the file's lock
// (FileLock), and the file itself is not touched before the commit: a
// missing file reads as empty and appears only when the rewrite commits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "util/limits.h"

namespace plix {

class FileLock;

/// Size of the shared buffer dmys (reads without a caller buffer, dpass).
inline constexpr std::size_t kDmysSize = 2048;
/// Room that the dgbfindrec snapshot takes from the caller's record area.
inline constexpr std::size_t kDfileSnapshotSize = 104;
/// Record area of dgbfindstring, snapshot included.
inline constexpr std::size_t kFindStringArea = 4198;
/// dgitem's item limit.
inline constexpr long kDgitemSize = 9999999;

/// Result codes of the dfile operations.
enum DfileCode : int {
  kDfileEof = 0,         ///< end of file
  kDfileOk = 1,          ///< entry or item delivered; block closed
  kDfileName = 3,        ///< only the name of the next entry delivered
  kDfileSkipped = 6,     ///< moved past an entry without delivering one
  kDfileBadMode = -1,    ///< open mode not a/r/w, or empty file name
  kDfileNoBlock = -2,    ///< open: no free block
  kDfileFormat = -2,     ///< read: first line without a colon, or a zero byte
  kDfileCantOpen = -3,   ///< the file cannot be opened
  kDfileNoRoom = -4,     ///< out of memory; entry or item does not fit
  kDfileIoError = -7,    ///< write, copy or seek failed
  kDfileNoEntry = -8,    ///< no entry delivered, so no items
  kDfileNoItem = -13,    ///< no further item in the value
  kDfileNotFound = -15,  ///< the named entry does not exist
};

/// One open record file. Text pointers point into the buffer of the last read.
struct DfileBlock {
  char* name = nullptr;        ///< name of the current entry
  char* buffer = nullptr;      ///< start of the buffer of the last read
  char* value = nullptr;       ///< value of the current entry
  char* item = nullptr;        ///< start of the item last returned by dgnitem
  char* cursor = nullptr;      ///< where dgnitem goes on
  char* stamp = nullptr;       ///< enclosure stamp ("" when none); the name for plain entries
  std::int32_t enclosure = 0;  ///< "::" openings in the current entry
  std::FILE* in = nullptr;     ///< the record file
  std::FILE* out = nullptr;    ///< write mode: the temporary output
  std::optional<std::string> filename;
  std::optional<std::string> tempname;
  int status = 0;                 ///< code of the last read
  std::int64_t entry_start = -1;  ///< offset of the current entry; -1 none
  std::int64_t next_start = -1;   ///< offset after the current entry; -1 unknown
  char mode = 0;                  ///< 'r', 'w', 'a'; 0 for a free block
  /// Set with code -4 when the file ended inside a line (no final newline):
  /// a larger buffer cannot help.
  bool eof_partial = false;
  /// Offset of the stream when a streaming read left it known; -1 otherwise.
  std::int64_t known_pos = -1;
};

/// Process-wide state of the library.
struct DfileState {
  std::array<DfileBlock, kDfileBlocks> iobf;
  /// The lock a rewrite ("w") holds on its file, by block.
  std::array<std::unique_ptr<FileLock>, kDfileBlocks> locks;
  std::array<char, kDmysSize> dmys{};
  int dopenflag = 0;    ///< reason of the last open or extraction failure
  int dgbfindflag = 0;  ///< reason of the last dgbfindrec failure
  /// Set: the loader keeps enclosures and Related-file entries as plain values.
  bool Load_related_files = false;
  /// The loader's buffer; grows by doubling and keeps its size.
  std::string load_buffer;
  /// loadtable's pause while a file is being written (a seam for tests).
  unsigned (*sleep_fn)(unsigned seconds) = nullptr;
  /// loadtable has waited for a writer once: it does not wait again.
  bool waited_for_writer = false;
};

/// The process-wide state.
DfileState& dfile_state();
/// Closes every open block without committing and restores the initial state (tests).
void reset_dfile_state();

/// Opens a record file; mode "r", "a" (a+) or "w" (rewrite through a
/// temporary copy). Null on failure with dopenflag -1, -2, -3 or -4.
DfileBlock* dopen(const char* path, const char* mode);
/// Lists the 10 blocks' file names on standard error.
void lst_dfile();
/// Delivers the next entry into buffer (null: dmys). size < 0: name only
/// (code 3); size 0: only moves past the current entry (code 6).
int dread(DfileBlock* b, char* buffer, long size);
/// Moves past the entry starting at the current position: 6 or -7.
int dforward(DfileBlock* b);
/// Reads names until `name` matches, then reads that entry in full.
int dfind(DfileBlock* b, std::string_view name, char* buffer, long size);
/// Mode of dfindit that dfind uses (read the match in full); any other mode
/// stops at the match with code 1, the entry unread and the stream at its first line.
inline constexpr int kDfindRead = 0;
int dfindit(DfileBlock* b, std::string_view name, char* buffer, long size, int how);

/// A dgbfindrec result: a snapshot of the block whose pointers point into `text`.
struct DfileRecord {
  DfileBlock block;  ///< in, out and mode cleared
  std::vector<char> text;
};
/// Finds the named entry of a file; `size` is the whole record area
/// (kDfileSnapshotSize of it is the snapshot's). Null on failure with
/// dgbfindflag = dopenflag (open failed), -15 (no such entry) or the reader's code.
std::unique_ptr<DfileRecord> dgbfindrec(const char* path, std::string_view name,
                                        std::size_t size = kDmysSize);
/// First line of the named entry's value without leading blanks and tabs;
/// nullopt when absent or longer than the 4198-byte area.
std::optional<std::string> dgbfindstring(const char* path, std::string_view name);
/// Next item (blank/tab/newline separated) of the current value into buffer.
int dgnitem(DfileBlock* b, char* buffer, long size);
/// The same without a practical size limit; the item is returned in `item`.
int dgitem(DfileBlock* b, std::string& item);
/// Frees the block; in write mode how == 1 commits the rewrite. 1 or -7.
int dclose(DfileBlock* b, int how);
/// Copies the rest of the input to the output (or just reads it). 1 or -7.
int dpass(DfileBlock* b);

/// perror with the prefix "<module> line <position> error <errno> ".
void derror(const char* module, int position);
/// perror with "ERROR: write failed!  Closing file; no changes made".
void ddead();

namespace detail {
/// How much of an entry a read takes in (the loader's shortcuts).
enum class ReadMode {
  kFull,
  /// For enclosure and Related-file entries only the first line (with its
  /// "@" continuations) is read; the body is moved past unread.
  kHeadOfFiles,
};
/// dread with a read mode. With `stream` (the loader, which reads entry
/// after entry and nothing else) the stream is not put back after code 1:
/// it stays after the entry, entry_start is -1 and the offset is remembered,
/// so a load makes no seek calls.
int read_entry(DfileBlock* b, char* buffer, long size, ReadMode mode, bool stream = false);
}  // namespace detail

}  // namespace plix

// Every limit of the system in one place, each with the reason it exists.
//
// Some limits are part of what users and stored files see (a value holds at
// most 1023 characters, a class at most 31 states); others protect the
// programs from hostile or broken files in the home (a record file or a
// value too large to hold, a lock that is never released). A module that
// enforces a limit names it from here; no other header repeats the number.
// What stays with the modules are the sizes of their work areas, which the
// record format's algorithms are written in (the reader's shared buffer, a
// lookup's record area), and tuning (first sizes of growing buffers, output
// pieces); the shapes of identifiers are in site/identifiers.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plix {

// ---- Texts -----------------------------------------------------------------

/// Longest field value a filter program works on: its value buffer holds
/// 1023 characters and a terminating zero. Texts that end up in such a
/// buffer are cut to it (picklist values, derived values, test tokens of
/// conditions, group lines), and so are the parser's stored error message
/// and the web server account's name read from conf/http_user.
inline constexpr std::size_t kMaxValueLength = 1023;
/// Longest name of a project, class or record id, and of an environment
/// variable named in a path: the file-name limit of common file systems,
/// since each of them becomes (part of) a file name.
inline constexpr std::size_t kMaxNameLength = 255;
/// Longest field name that newfield takes without a report: longer names do
/// not fit the columns of the query cache.
inline constexpr std::size_t kMaxFieldName = 79;
/// Longest filter text of one field after standardization or variable
/// expansion: the parser's work buffers hold 4096 bytes. Longer logic
/// fails to parse instead of being cut.
inline constexpr std::size_t kMaxLogicText = 4095;
/// Longest path normalize_path is built for; "$NAME" references are only
/// replaced while the text stays shorter.
inline constexpr std::size_t kMaxPathLength = 2047;

/// Characters of a security token: the token
/// buffer holds 1000 bytes. A longer token is reported and not used.
inline constexpr std::size_t kMaxSecurityToken = 999;
/// Words an allow list may expand to: rules whose $references double at
/// each level would otherwise grow without end. A cut list can only deny.
inline constexpr std::size_t kMaxExpansionWords = 100000;
/// Largest prompt position or size a template may give; larger ones count
/// as absent rather than overflow.
inline constexpr int kMaxPromptNumber = 99999;
/// Fields one dependent picklist may depend on.
inline constexpr int kMaxDepends = 32;
/// Depth of nested conditional picklists, and the largest text their
/// rewrite may produce (a rewrite over it fails whole): each level
/// multiplies the text by the number of values.
inline constexpr int kMaxPicklistNesting = 8;
inline constexpr std::size_t kMaxPicklistRewrite = std::size_t{4} << 20;
/// Group definitions one form may hold.
inline constexpr std::size_t kMaxGroups = 128;
/// Characters of a state's description shown in the Status picklist.
inline constexpr std::size_t kMaxStateDescription = 63;

// ---- Records ---------------------------------------------------------------

/// Record files open at once: the reader's pool has this many blocks.
inline constexpr int kDfileBlocks = 10;

/// Slots of an ordinary field table; the last stays empty, so a record or
/// template holds at most 2047 entries.
inline constexpr std::size_t kTableSlots = 2048;
/// Slots of a project information table: proj.info files are small.
inline constexpr std::size_t kProjectTableSlots = 100;
/// Longest line of a record file that the reader moves past without a
/// report: its line buffer holds 1024 bytes. Longer lines are taken whole
/// but reported as illegal.
inline constexpr std::size_t kMaxRecordLine = 1023;
/// Largest record file the programs open. Enclosure bodies are streamed,
/// never held, so this bounds the time a request may spend, not memory.
inline constexpr std::uint64_t kMaxRecordFileSize = std::uint64_t{256} << 20;
/// Longest line savetable writes ("@" continuation lines carry the rest),
/// so that readers that move past entries with their line buffer never
/// stumble; and the longest field name it stores.
inline constexpr std::size_t kSaveLineMax = 1000;
inline constexpr std::size_t kSaveNameMax = 512;
/// Characters of a caller's prefix in a temporary name.
inline constexpr std::size_t kTempPrefixLength = 5;
/// Largest value of one entry loaded into memory (a plain field, the first
/// line of an enclosure). A load holds a value about three times over at
/// its peak (read buffer, table, form), so this bounds a request's memory.
inline constexpr std::size_t kMaxEntrySize = std::size_t{16} << 20;

// ---- Other files the programs read -----------------------------------------

/// Largest file read whole into memory: templates, picklists, state tables,
/// the schema, configuration texts. A picklist of a million values fits.
inline constexpr std::uint64_t kMaxReadFileSize = std::uint64_t{128} << 20;
/// Block size of file copies.
inline constexpr std::size_t kCopyBlock = 8192;

// ---- Users and groups ------------------------------------------------------

/// Supplementary groups a file permission check consults.
inline constexpr int kMaxCheckedGroups = 16;

// ---- States ----------------------------------------------------------------

/// States of a class, letters of a state list or transition path, and rows
/// and columns of the routing table: state lists travel as texts of 31
/// letters.
inline constexpr std::size_t kMaxStates = 31;
/// Distinct letters a loaded routing table may name: its list of letters is
/// handed on as a 31-byte text with a terminating zero. A table naming more
/// is refused as malformed.
inline constexpr std::size_t kMaxRoutedStates = 30;

// ---- Waiting for other processes -------------------------------------------

/// Seconds loadtable waits, once per process, for a record file that holds
/// a single byte (its writer's marker) to be written.
inline constexpr int kLoadWaitTries = 30;
/// Attempts to load a record that may be being replaced, one second apart.
inline constexpr int kLoadRecordAttempts = 5;
/// Attempts to read the site's Machid while another process rewrites conf/def.seq.
inline constexpr int kMachidAttempts = 16;
/// Longest wait for a lock that another process holds, in milliseconds: a
/// web request must answer within the web server's timeout.
inline constexpr int kLockWaitMillis = 15000;
/// Age in seconds after which a lock file that nobody holds is taken for
/// abandoned (a holder that died before writing who it is).
inline constexpr int kLockStaleSeconds = 10;

}  // namespace plix

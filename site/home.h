// The database home directory and the site-wide facts that hang off it: the
// Unix account the database runs under, the path of a record file, the
// program's name for messages, the operating system's host name and a
// file-name shortener.
//
// The home directory is PLIXHOME when set, else the home directory of the
// account "plix". The account must exist either way: isplix/iseplix compare
// against its uid. The first successful gethomedir() also points the
// activity log at the home, so spool/LOG lands below it.
//
// Everything is computed on first use and kept until the process ends
// (reset_site_state() exists for tests only).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace plix {

/// The Unix account that owns the database.
inline constexpr const char* kPlixAccount = "plix";
/// Directory of the record files below the home.
inline constexpr const char* kAllbugsDir = "allbugs";
/// bugpath takes the record file's subdirectory from these characters of the id.
inline constexpr std::size_t kBugDirOffset = 8;
inline constexpr std::size_t kBugDirLen = 2;
/// Host name given by drealhost when the system has none for us.
inline constexpr const char* kUnknownHost = "SITE";

struct SiteState {
  /// The database account's uid, once gethomedir has looked it up.
  std::optional<uid_t> plix_uid;
  /// The home directory, once known.
  std::optional<std::string> home;
  /// The home directory as project and class lookups record it; empty until
  /// one of them has run. Other modules read it after such a lookup.
  std::string Rootdir;
  /// Name of the program for its messages; empty until set.
  std::string prog_name;
};

/// The process-wide site state.
SiteState& site_state();
/// Forgets everything, including the log's home provider (tests).
void reset_site_state();

/// The home directory (computed once). Without a password entry for "plix"
/// prints "ERROR: no password entry for "plix"." and exits with status 1,
/// also when PLIXHOME is set. An empty PLIXHOME counts as unset.
const std::string& gethomedir();
/// The same as gethomedir.
const std::string& getroot();
/// chdir to the home directory: 0, or -1 with errno.
int cdhomedir();
/// Whether the real (isplix) or effective (iseplix) uid is the database account's.
bool isplix();
bool iseplix();
/// Home directory of a user from the password database; "" when there is no such user.
std::string uhomedir(std::string_view user);

/// HOME/allbugs/NN/ID with NN the 9th and 10th characters of the id. An id
/// shorter than 10 characters gets an empty NN segment (HOME/allbugs//ID),
/// which names no record file; callers check ids (valid_record_id) first.
std::string bugpath(std::string_view id);

/// The program's name for messages (copied); "" until set.
void set_prog_name(std::string_view name);
const std::string& get_prog_name();

/// The operating system's host name, or "SITE" when it cannot be had.
std::string drealhost();

/// Shortens the last component of path in place to the file system's name
/// limit less one when the file system rejects (rather than silently cuts)
/// names that long and the component reaches the limit. The limits are
/// asked of the directory holding the component, which must exist.
/// 0 when shortened, -1 when nothing changed.
int truncname(std::string& path);

}  // namespace plix

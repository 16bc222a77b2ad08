// Files a run makes for itself (extracted texts, private copies, new
// versions of files being replaced) and must not leave behind. They are
// tracked while they exist, and whatever is still tracked is removed when the
// process ends: at exit, and in the handlers of the terminating signals that
// program start-up installs (unlink_temp_files allocates nothing, so a
// handler may call it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plix {

/// Tracks a file for removal when the process ends.
void track_temp_file(const std::string& path);
/// Stops tracking a file (it is gone, renamed, or is to outlive the process).
void untrack_temp_file(std::string_view path);
/// Unlinks and untracks a tracked file; errno survives.
void remove_temp_file(const std::string& path);
/// Removes every tracked file; only in the process that tracked them (a
/// forked child leaves them alone).
void remove_temp_files();
/// Unlinks every tracked file and nothing else: no allocation, no locking.
void unlink_temp_files();
/// The files now tracked (tests).
std::size_t tracked_temp_files();
/// Forgets every tracked file without removing it (tests).
void reset_temp_registry();

}  // namespace plix

// The activity log spool/LOG under the home directory: one line per event
// (new record ids, hang-ups, damaged records, unreadable configuration).
//
// Line format: "%-8.8s %s %s\n" of Log_name, "YYMMDD HHMMSS" and the message.
// Each line goes out with one write() on an O_APPEND descriptor, so lines of
// concurrent processes never interleave inside a line.
//
// The log lives under the home directory, which the site layer knows; it
// registers itself through LogState::home_provider at start-up.
#pragma once

#include <string>

namespace plix {

/// Log file path relative to the home directory.
inline constexpr const char* Log_file = "spool/LOG";
/// Width of the log-name column.
inline constexpr int kLogNameWidth = 8;

struct LogState {
  std::string Log_name = "?????";
  /// >0: every log line is copied to stderr; !=0: writelog writes to stderr.
  int Log_to_tty = 0;
  /// Set to 1 by badrec.
  int Globerr = 0;
  /// Descriptor of spool/LOG once opened; -1 while closed.
  int log_fd = -1;
  /// Returns the home directory; null until the site layer registers it.
  const std::string& (*home_provider)() = nullptr;
};

/// The process-wide log state.
LogState& log_state();
/// Closes the log descriptor and restores the initial state (tests).
void reset_log_state();

/// "YYMMDD HHMMSS" of the present local time.
std::string timestamp();

/// Appends one line to spool/LOG. When the log cannot be opened the error is
/// printed ("Exiting: spool/LOG: ..."), the line still goes to stderr, and
/// the process ends with status 1.
void plix_writelog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
/// Logs a damaged or inconsistent record and sets Globerr.
void badrec(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
/// The generic tool log. These programs set no tool home, so it writes
/// "writelog: can't get tool Home directory!!: <timestamp>: <message>" to stderr.
void writelog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace plix

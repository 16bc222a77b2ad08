// Diagnostics: every message of the system reaches standard error through
// these printf-style functions. Callers choose the function; the texts are
// theirs.
//
//   warn      the message as given, no newline added
//   fatal     message and newline, then exit(1)
//   warnerr   "<message>: <strerror(errno)>" (or the system text alone)
//   line_err  "Error in template file F[, field \"X\"]: <message>"
//
// The screen runtime may replace where warn's text goes (set_warn_sink), so
// that its messages and a curses screen do not fight over the terminal.
//
// The arguments of a message come from files and values that anybody may
// have written: control characters in them (ESC, CR and the other C0 bytes
// but tab and newline, and DEL) are shown escaped as "\x1b", never sent to
// the terminal as they are. The format texts themselves go out unchanged.
#pragma once

#include <cstdarg>
#include <optional>
#include <string_view>
#include <string>

namespace plix {

/// Template file and field being processed; read by line_err. nullopt = none.
struct MessageState {
  std::optional<std::string> Thisfile;
  std::optional<std::string> Thisfield;
  /// Where warn's text goes; null means standard error.
  void (*warn_sink)(const std::string& text) = nullptr;
};

/// The process-wide message state.
MessageState& message_state();
/// Back to the initial state (tests).
void reset_message_state();

/// Formats like printf into a new string; never truncates.
std::string vformat(const char* fmt, va_list ap) __attribute__((format(printf, 1, 0)));
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Like vformat, with the control characters of every %s and %c argument
/// escaped; newlines too unless keep_newlines.
std::string vformat_escaped(const char* fmt, va_list ap, bool keep_newlines = true)
    __attribute__((format(printf, 1, 0)));
/// A text with its control characters escaped ("\x1b"); tabs always and
/// newlines when keep_newlines stay as they are.
std::string escape_controls(std::string_view text, bool keep_newlines = true);

/// Writes the formatted text to standard error (or the sink). Never fails.
void warn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
/// Writes text as warn does, without formatting.
void warn_text(const std::string& text);
/// Formatted text and a newline to standard error, then exit status 1.
[[noreturn]] void fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
/// Reports a failed system call: "<formatted>: <system text for errno>", or
/// the system text alone for a null or empty format. No newline is added.
void warnerr(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
/// Reports a fault in a template, naming Thisfile and, when set, Thisfield.
void line_err(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace plix

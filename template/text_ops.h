// Line-by-line text work on filter text, shared by the whole template
// library and the update-script writer.
//
// Positions are offsets into the text; std::string::npos plays the part of
// "no position" (the end, or nothing found). The parser never deletes text:
// removing a line blanks it, so offsets into a text stay valid.
//
// Tokens: a token ends at the end of the text, at a newline, or at white
// space outside quotes. Each '"' or '\'' switches the inside-quotes state
// (either closes what either opened) and is not part of the token; a
// backslash is dropped and the character after it taken as it is.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plix {

inline constexpr std::size_t npos = std::string::npos;

/// Blanks every character from pos up to the next newline (or the end).
void remove_line(std::string& text, std::size_t pos);
/// Appends the token at pos to out; returns the number of characters written.
std::size_t copytoken(std::string_view text, std::size_t pos, std::string& out);
/// Appends the text from pos up to the newline (or the end); returns the count.
std::size_t copy2nl(std::string_view text, std::size_t pos, std::string& out);
/// First non-white character at or after pos (newlines are white), or npos.
std::size_t skip_space(std::string_view text, std::size_t pos);
/// Start of the next token on the same line, or npos when a newline or the
/// end comes first.
std::size_t next_token(std::string_view text, std::size_t pos);
/// First non-white character after the next newline, or npos.
std::size_t next_line(std::string_view text, std::size_t pos);
/// True when the text at pos starts with `word` followed by white space or
/// the end. The word may hold a blank ("gooddate -E").
bool filter_is(std::string_view word, std::string_view text, std::size_t pos);
/// Position of the command word of the first line, from the line at pos on,
/// that is the command `word`; npos when none.
std::size_t next_filter(std::string_view text, std::size_t pos, std::string_view word);
/// The name after a "$" at pos (letters, digits, "-", "_"; possibly empty),
/// or nullopt when pos does not hold "$".
std::optional<std::string> variable_name(std::string_view text, std::size_t pos);
/// Writes the line at pos into out (replacing out): '"' characters dropped,
/// every "$name" whose name equals `name` exactly replaced by `value`.
void replace_var(std::string_view text, std::size_t pos, std::string& out, std::string_view name,
                 std::string_view value);

/// True for blank, tab, newline, carriage return, vertical tab, form feed.
inline bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
/// True for a character of a variable name.
bool is_var_char(char c);
/// Position of the first non-blank character of the line at pos (npos at the
/// end); blank and tab only, so a blank line yields its newline.
std::size_t line_content(std::string_view text, std::size_t pos);
/// Position after the newline that ends the line at pos, or npos.
std::size_t after_line(std::string_view text, std::size_t pos);
/// The token at pos with the quote and backslash rules applied.
std::string token_at(std::string_view text, std::size_t pos);

// The names under which the rest of the system calls these.
inline void pl_remove_line(std::string& t, std::size_t p) { remove_line(t, p); }
inline std::size_t pl_copytoken(std::string_view t, std::size_t p, std::string& o) {
  return copytoken(t, p, o);
}
inline std::size_t pl_copy2nl(std::string_view t, std::size_t p, std::string& o) {
  return copy2nl(t, p, o);
}
inline std::size_t pl_skip_space(std::string_view t, std::size_t p) { return skip_space(t, p); }
inline std::size_t pl_next_token(std::string_view t, std::size_t p) { return next_token(t, p); }
inline std::size_t pl_next_line(std::string_view t, std::size_t p) { return next_line(t, p); }
inline bool pl_filter_is(std::string_view w, std::string_view t, std::size_t p) {
  return filter_is(w, t, p);
}
inline std::size_t pl_next_filter(std::string_view t, std::size_t p, std::string_view w) {
  return next_filter(t, p, w);
}
inline std::optional<std::string> pl_variable_name(std::string_view t, std::size_t p) {
  return variable_name(t, p);
}
inline void pl_replace_var(std::string_view t, std::size_t p, std::string& o, std::string_view n,
                           std::string_view v) {
  replace_var(t, p, o, n, v);
}

}  // namespace plix

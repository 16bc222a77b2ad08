#include "template/text_ops.h"

namespace plix {

bool is_var_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

void remove_line(std::string& text, std::size_t pos) {
  for (; pos < text.size() && text[pos] != '\n'; ++pos) text[pos] = ' ';
}

namespace {

// Walks the token at pos; calls emit for each character that belongs to it.
// Returns the position just past the token.
template <typename Emit>
std::size_t walk_token(std::string_view text, std::size_t pos, Emit emit) {
  bool quoted = false;
  while (pos < text.size()) {
    char c = text[pos];
    if (c == '\n' || (!quoted && is_white(c))) break;
    if (c == '"' || c == '\'') {
      quoted = !quoted;
      ++pos;
    } else if (c == '\\') {
      if (pos + 1 < text.size()) emit(text[pos + 1]);
      pos += 2;
    } else {
      emit(c);
      ++pos;
    }
  }
  return pos < text.size() ? pos : text.size();
}

}  // namespace

std::size_t copytoken(std::string_view text, std::size_t pos, std::string& out) {
  std::size_t n = 0;
  if (pos >= text.size()) return 0;
  walk_token(text, pos, [&](char c) {
    out += c;
    ++n;
  });
  return n;
}

std::string token_at(std::string_view text, std::size_t pos) {
  std::string t;
  copytoken(text, pos, t);
  return t;
}

std::size_t copy2nl(std::string_view text, std::size_t pos, std::string& out) {
  if (pos >= text.size()) return 0;
  std::size_t end = text.find('\n', pos);
  if (end == npos) end = text.size();
  out.append(text.substr(pos, end - pos));
  return end - pos;
}

std::size_t skip_space(std::string_view text, std::size_t pos) {
  for (; pos < text.size(); ++pos)
    if (!is_white(text[pos])) return pos;
  return npos;
}

std::size_t next_token(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return npos;
  pos = walk_token(text, pos, [](char) {});
  while (pos < text.size() && text[pos] != '\n' && is_white(text[pos])) ++pos;
  if (pos >= text.size() || text[pos] == '\n') return npos;
  return pos;
}

std::size_t next_line(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return npos;
  std::size_t nl = text.find('\n', pos);
  if (nl == npos) return npos;
  return skip_space(text, nl + 1);
}

bool filter_is(std::string_view word, std::string_view text, std::size_t pos) {
  if (pos >= text.size() || word.empty()) return false;
  if (text.substr(pos, word.size()) != word) return false;
  std::size_t after = pos + word.size();
  return after >= text.size() || is_white(text[after]);
}

std::size_t line_content(std::string_view text, std::size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  return pos < text.size() ? pos : npos;
}

std::size_t after_line(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return npos;
  std::size_t nl = text.find('\n', pos);
  return nl == npos || nl + 1 >= text.size() ? npos : nl + 1;
}

std::size_t next_filter(std::string_view text, std::size_t pos, std::string_view word) {
  for (std::size_t line = pos; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at != npos && filter_is(word, text, at)) return at;
  }
  return npos;
}

std::optional<std::string> variable_name(std::string_view text, std::size_t pos) {
  if (pos >= text.size() || text[pos] != '$') return std::nullopt;
  std::size_t end = pos + 1;
  while (end < text.size() && is_var_char(text[end])) ++end;
  return std::string(text.substr(pos + 1, end - pos - 1));
}

void replace_var(std::string_view text, std::size_t pos, std::string& out, std::string_view name,
                 std::string_view value) {
  out.clear();
  while (pos < text.size() && text[pos] != '\n') {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      continue;
    }
    if (c == '$') {
      std::string var = *variable_name(text, pos);
      if (var == name) {
        out += value;
        pos += 1 + var.size();
        continue;
      }
    }
    out += c;
    ++pos;
  }
}

}  // namespace plix

#include "template/logic_copy.h"

#include "template/text_ops.h"

namespace plix {

namespace {

constexpr std::string_view kConditionals[] = {"if", "elif", "else", "fi",
                                              "and", "andif", "or", "orif"};

bool is_any(std::string_view text, std::size_t at, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words)
    if (filter_is(w, text, at)) return true;
  return false;
}

bool selected(std::string_view text, std::size_t at, int mode, bool after_input) {
  switch (mode) {
    case kCopyDefaults:
      return !after_input;
    case kCopyOneof:
      return filter_is("oneof", text, at);
    case kCopySomeof:
      return filter_is("someof", text, at);
    case kCopyCombobox:
      return filter_is("combobox", text, at);
    case kCopyHelp:
      return filter_is("help", text, at);
    case kCopyRequired:
      return filter_is("required", text, at);
    case kCopyValidation:
      return after_input;
    case kCopyFlow:
      return is_any(text, at, {"goto", "skip", "return", "abort"});
    default:
      return false;
  }
}

}  // namespace

bool is_conditional_line(std::string_view text, std::size_t pos) {
  std::size_t at = line_content(text, pos);
  if (at == npos) return false;
  for (std::string_view w : kConditionals)
    if (filter_is(w, text, at)) return true;
  return false;
}

void copy_logic(const pfield& f, std::string& out, int mode) {
  out.clear();
  if (!f.derivation) return;
  std::string_view text = *f.derivation;
  bool after_input = false;
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    if (f.input_point && line > *f.input_point) after_input = true;
    std::size_t at = line_content(text, line);
    if (at == npos || text[at] == '\n' || text[at] == '\r') continue;
    if (is_conditional_line(text, at) || selected(text, at, mode, after_input)) {
      out += ' ';
      copy2nl(text, at, out);
      out += '\n';
    }
  }
}

void remove_empty_logic(std::string& text) {
  bool changed = true;
  while (changed) {
    changed = false;
    std::size_t open = npos;
    bool content = false;
    for (std::size_t line = 0; line != npos && line < text.size();
         line = after_line(text, line)) {
      std::size_t at = line_content(text, line);
      if (at == npos || is_white(text[at])) continue;
      if (filter_is("if", text, at)) {
        open = line;
        content = false;
      } else if (filter_is("fi", text, at)) {
        if (open != npos && !content) {
          std::size_t end = text.find('\n', at);
          for (std::size_t p = open; p < (end == npos ? text.size() : end); ++p)
            if (text[p] != '\n') text[p] = ' ';
          changed = true;
          break;
        }
      } else if (!is_any(text, at, {"and", "andif", "or", "orif", "elif", "else"})) {
        content = true;
      }
    }
  }
}

bool blank_text(std::string_view text) {
  for (char c : text)
    if (!is_white(c)) return false;
  return true;
}

}  // namespace plix

#include "template/prompts.h"

#include <algorithm>
#include <utility>

#include "template/logic_copy.h"
#include "template/text_ops.h"

namespace plix {

namespace {

constexpr std::string_view kDroppedEscapes = "abefknr";

bool is_octal(char c) {
  return c >= '0' && c <= '7';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Resolves the escapes of t from pos on, appending the result to out when
// it is non-null. Stops at the first unescaped '%' when stop_at_percent is
// set. Returns where it stopped (t.size() at the end).
std::size_t walk_prompt(std::string_view t, std::size_t pos, std::string* out,
                        bool stop_at_percent = true) {
  auto put = [out](char c) {
    if (out != nullptr) *out += c;
  };
  while (pos < t.size()) {
    char c = t[pos];
    if (c == '%' && stop_at_percent) return pos;
    if (c != '\\') {
      put(c);
      ++pos;
      continue;
    }
    if (++pos >= t.size()) break;  // a backslash at the end adds nothing
    char e = t[pos];
    if (e == '(') {
      std::size_t close = t.find(')', pos);
      pos = close == npos ? t.size() : close + 1;
    } else if (is_octal(e)) {
      // Low 8 bits of the whole number, so any count of digits stays in range.
      unsigned code = 0;
      for (; pos < t.size() && is_octal(t[pos]); ++pos) code = (code * 8 + (t[pos] - '0')) & 0xFFu;
      // A NUL would cut the text short wherever it is printed as C text.
      if (code != 0) put(static_cast<char>(code));
    } else if (e == '[') {
      pos = std::min(t.size(), pos + 4);
    } else if (kDroppedEscapes.find(e) != std::string_view::npos) {
      ++pos;
    } else {
      put(e);
      ++pos;
    }
  }
  return t.size();
}

// Start and end of the quoted contents of the prompt line whose opening '"'
// is at q: up to the closing unescaped '"', the newline or the end.
std::pair<std::size_t, std::size_t> quoted_span(std::string_view t, std::size_t q) {
  std::size_t p = q + 1;
  while (p < t.size() && t[p] != '"' && t[p] != '\n') {
    if (t[p] == '\\' && p + 1 < t.size() && t[p + 1] != '\n')
      p += 2;
    else
      ++p;
  }
  return {q + 1, std::min(p, t.size())};
}

// Start of the last position marker ("\(") of s before limit, or npos.
std::size_t last_marker(std::string_view s, std::size_t limit) {
  std::size_t found = npos;
  for (std::size_t p = 0; p < limit && p < s.size(); ++p) {
    if (s[p] != '\\') continue;
    if (p + 1 < s.size() && s[p + 1] == '(') found = p;
    ++p;
  }
  return found;
}

// A decimal number at pos (pos is moved past all its digits); -1 when there
// is none or it exceeds kMaxPromptNumber.
int read_number(std::string_view t, std::size_t& pos) {
  std::size_t start = pos;
  long value = 0;
  bool too_big = false;
  for (; pos < t.size() && is_digit(t[pos]); ++pos) {
    if (too_big) continue;
    value = value * 10 + (t[pos] - '0');
    if (value > kMaxPromptNumber) too_big = true;
  }
  if (pos == start || too_big) return -1;
  return static_cast<int>(value);
}

int conversion_type(char letter) {
  switch (letter) {
    case 'e':
    case 'f':
    case 'g':
    case 'E':
    case 'G':
      return FT_FLOAT;
    case 'd':
    case 'u':
      return FT_INTEGER;
    default:
      return FT_TEXT;
  }
}

std::optional<std::string> non_empty(std::string s) {
  if (s.empty()) return std::nullopt;
  return s;
}

}  // namespace

bool is_prompt_line(std::string_view text, std::size_t pos) {
  std::size_t at = line_content(text, pos);
  return at != npos && text[at] == '"';
}

void copy_prompts(pfield& f, std::string& out) {
  out.clear();
  if (!f.derivation) return;
  std::string_view t = *f.derivation;
  for (std::size_t line = 0; line != npos && line < t.size(); line = after_line(t, line)) {
    std::size_t q = line_content(t, line);
    if (q == npos || t[q] != '"') continue;
    auto [begin, end] = quoted_span(t, q);
    std::string_view s = t.substr(begin, end - begin);

    std::size_t first = npos;
    int conversions = 0;
    for (std::size_t p = 0; conversions < 2 && (p = walk_prompt(s, p, nullptr)) < s.size(); ++p)
      if (conversions++ == 0) first = p;
    if (conversions >= 2 || (conversions == 1 && f.input_point)) continue;

    std::size_t marker = last_marker(s, conversions == 1 ? first : s.size());
    if (marker != npos && f.input_point) break;
    std::size_t from = 0;
    if (marker != npos) {
      // A positioned prompt starts afresh at its marker.
      out.clear();
      from = marker;
    }
    if (conversions == 1) f.input_point = begin + first;
    out.append(s.substr(from));
  }
}

std::optional<std::string> copy_label(std::string_view text) {
  std::string out;
  walk_prompt(text, 0, &out);
  return non_empty(std::move(out));
}

void parse_prompt(pfield& f, std::string_view text) {
  if (text.substr(0, 2) == "\\(") {
    std::size_t p = 2;
    f.row = read_number(text, p);
    f.col = -1;
    if (p < text.size() && text[p] == ',') {
      ++p;
      f.col = read_number(text, p);
    }
  }
  f.label = copy_label(text);

  std::size_t p = walk_prompt(text, 0, nullptr);
  if (p >= text.size()) {
    if (f.label) f.type = FT_VIEWONLY;
    return;
  }
  ++p;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  f.size = read_number(text, p);
  f.length = -1;
  if (p < text.size() && text[p] == '.') {
    ++p;
    f.length = read_number(text, p);
  }
  // Without a conversion letter the text does not decide the type.
  if (p < text.size() && is_letter(text[p])) f.type = conversion_type(text[p++]);
  std::string trailer;
  walk_prompt(text, p, &trailer, false);
  f.trailer = non_empty(std::move(trailer));
}

void parse_prompts(PfieldArray& fields) {
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    if (!f.states || f.states->empty() || f.type == FT_ENCLOSURE || !f.derivation) continue;
    std::string text;
    copy_prompts(f, text);
    parse_prompt(f, text);
    std::string& d = *f.derivation;
    for (std::size_t line = 0; line != npos && line < d.size(); line = after_line(d, line))
      if (is_prompt_line(d, line)) remove_line(d, line);
    remove_empty_logic(d);
  }
}

}  // namespace plix

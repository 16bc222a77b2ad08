#include "template/standardize.h"

#include <initializer_list>

#include "template/text_ops.h"

namespace plix {

namespace {

bool is_any(std::string_view text, std::size_t at, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words)
    if (filter_is(w, text, at)) return true;
  return false;
}

// The line whose first non-blank character is at `at`, without its newline.
std::string_view line_from(std::string_view text, std::size_t at) {
  std::size_t end = text.find('\n', at);
  return text.substr(at, (end == npos ? text.size() : end) - at);
}

void rtrim(std::string& s) {
  while (!s.empty() && is_white(s.back())) s.pop_back();
}

// Blanks "#" comments: a backslash makes the next character ordinary, and
// either quote character closes whichever quoted span is open.
void strip_comments(std::string& text) {
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      ++i;
    } else if (c == '"' || c == '\'') {
      quoted = !quoted;
    } else if (c == '#' && !quoted) {
      for (; i < text.size() && text[i] != '\n'; ++i) text[i] = ' ';
    }
  }
}

// Builds the canonical form of blocks. Every block keeps a running length
// that includes what the enclosing blocks hold so far (`used`), so a deeply
// nested text fails as soon as the whole would be too long; that also bounds
// the recursion depth by the length limit.
class Standardizer {
 public:
  explicit Standardizer(std::string_view text) : text_(text) {}

  bool block(std::size_t at, std::size_t used, std::string& out) {
    if (filter_is("if", text_, at)) return if_block(at, used, out);
    if (filter_is("switch", text_, at)) return switch_block(at, used, out);
    return false;
  }

  // if-chain: conditions and body of the current branch grow until the next
  // branch line; a continuation (and/or) after body lines closes the block so
  // far and reopens it with the same conditions, so that the continuation
  // only narrows the lines after it.
  bool if_block(std::size_t at, std::size_t used, std::string& out) {
    if (!filter_is("if", text_, at)) return false;
    std::string emitted;  // branches written so far
    std::string prior;    // condition lines of the earlier branches of the open block
    std::string conds;
    std::string body;
    auto too_long = [&] {
      return used + emitted.size() + conds.size() + body.size() > kMaxLogicText;
    };
    add_condition(conds, at, true);
    // Checked before any nested block: every level costs at least one
    // condition line, so the length limit also bounds the recursion.
    if (too_long()) return false;
    for (std::size_t pos = next_line(text_, at); pos != npos; pos = next_line(text_, pos)) {
      if (filter_is("then", text_, pos)) continue;
      if (is_any(text_, pos, {"and", "andif", "or", "orif"})) {
        if (!body.empty()) {
          // A reopened block must not start with elif or else: the heads of
          // the earlier branches come first, with empty bodies.
          emitted += conds + body + "fi\n" + prior;
          body.clear();
        }
        add_condition(conds, pos, true);
      } else if (is_any(text_, pos, {"elif", "else", "fi"})) {
        emitted += conds + body;
        prior += conds;
        conds.clear();
        body.clear();
        if (filter_is("fi", text_, pos)) {
          emitted += "fi\n";
          if (too_long()) return false;
          out += emitted;
          return true;
        }
        add_condition(conds, pos, filter_is("elif", text_, pos));
      } else if (is_any(text_, pos, {"if", "switch"})) {
        std::string nested;
        if (!block(pos, used + emitted.size() + conds.size() + body.size(), nested)) return false;
        body += nested;
        pos = skip_logic(text_, pos);
        if (pos == npos) return false;
      } else {
        body += line_from(text_, pos);
        body += '\n';
      }
      if (too_long()) return false;
    }
    return false;  // no fi
  }

  bool switch_block(std::size_t at, std::size_t used, std::string& out) {
    if (!filter_is("switch", text_, at)) return false;
    std::size_t subj = next_token(text_, at);
    std::string subject = subj == npos ? std::string() : token_at(text_, subj);
    if (subject.empty()) subject = "$$";
    std::string local;
    std::size_t pos = next_line(text_, at);
    if (pos == npos || !filter_is("case", text_, pos) || !add_case(local, "if", subject, pos))
      return false;
    if (used + local.size() > kMaxLogicText) return false;
    for (pos = next_line(text_, pos); pos != npos; pos = next_line(text_, pos)) {
      if (filter_is("case", text_, pos)) {
        if (!add_case(local, "elif", subject, pos)) return false;
      } else if (filter_is("default", text_, pos)) {
        local += "else\n";
      } else if (filter_is("end", text_, pos)) {
        local += "fi\n";
        if (used + local.size() > kMaxLogicText) return false;
        out += local;
        return true;
      } else if (is_any(text_, pos, {"if", "switch"})) {
        std::string nested;
        if (!block(pos, used + local.size(), nested)) return false;
        local += nested;
        pos = skip_logic(text_, pos);
        if (pos == npos) return false;
      } else {
        local += line_from(text_, pos);
        local += '\n';
      }
      if (used + local.size() > kMaxLogicText) return false;
    }
    return false;  // no end
  }

 private:
  // Appends a condition line; a test `equals` with at most one argument gets
  // the field being processed as its second operand.
  void add_condition(std::string& conds, std::size_t at, bool complete_equals) {
    std::string line(line_from(text_, at));
    if (complete_equals) {
      std::size_t test = next_token(text_, at);
      if (test != npos && filter_is("equals", text_, test)) {
        std::size_t first = next_token(text_, test);
        if (first == npos || next_token(text_, first) == npos) {
          rtrim(line);
          line += " $$";
        }
      }
    }
    conds += line;
    conds += "  \n";
  }

  // "case VALUES" becomes "<head> match SUBJECT VALUES"; false without values.
  bool add_case(std::string& out, std::string_view head, std::string_view subject, std::size_t at) {
    std::size_t values = next_token(text_, at);
    if (values == npos) return false;
    out += head;
    out += " match ";
    out += subject;
    out += ' ';
    out += line_from(text_, values);
    out += '\n';
    return true;
  }

  std::string_view text_;
};

int finish(bool ok, std::string& out) {
  if (!ok || out.size() > kMaxLogicText) {
    out.clear();
    return -1;
  }
  return static_cast<int>(out.size());
}

}  // namespace

std::size_t skip_logic(std::string_view text, std::size_t pos) {
  std::size_t at = line_content(text, pos);
  if (at == npos) return pos;
  std::string_view open;
  std::string_view close;
  if (filter_is("if", text, at)) {
    open = "if";
    close = "fi";
  } else if (filter_is("switch", text, at)) {
    open = "switch";
    close = "end";
  } else {
    return pos;
  }
  long depth = 0;
  for (std::size_t line = at; line != npos; line = next_line(text, line)) {
    if (filter_is(open, text, line)) {
      ++depth;
    } else if (filter_is(close, text, line) && --depth == 0) {
      return line;
    }
  }
  return npos;
}

int standardize_if(std::string_view text, std::size_t pos, std::string& out) {
  out.clear();
  std::size_t at = line_content(text, pos);
  return finish(at != npos && Standardizer(text).if_block(at, 0, out), out);
}

int standardize_switch(std::string_view text, std::size_t pos, std::string& out) {
  out.clear();
  std::size_t at = line_content(text, pos);
  return finish(at != npos && Standardizer(text).switch_block(at, 0, out), out);
}

int standardize_logic(std::string_view text, std::size_t pos, std::string& out) {
  out.clear();
  std::size_t at = line_content(text, pos);
  return finish(at != npos && Standardizer(text).block(at, 0, out), out);
}

int standardize_derivation(std::optional<std::string_view> text, std::string& out) {
  out.clear();
  if (!text) return -1;
  std::string_view t = text->substr(0, text->find('\0'));
  Standardizer s(t);
  for (std::size_t pos = skip_space(t, 0); pos != npos;) {
    if (is_any(t, pos, {"if", "switch"})) {
      if (!s.block(pos, out.size(), out)) return finish(false, out);
      std::size_t last = skip_logic(t, pos);
      pos = last == npos ? npos : next_line(t, last);
    } else {
      copy2nl(t, pos, out);
      out += '\n';
      pos = next_line(t, pos);
    }
    if (out.size() > kMaxLogicText) return finish(false, out);
  }
  strip_comments(out);
  return finish(true, out);
}

}  // namespace plix

#include "template/reduce.h"

#include <initializer_list>

#include "site/home.h"
#include "site/web_user.h"
#include "template/logic_copy.h"
#include "template/text_ops.h"

namespace plix {

namespace {

constexpr std::string_view kConditionWords[] = {"if", "elif", "and", "andif", "or", "orif"};

// Length of the condition keyword the line at `at` starts with, or 0.
std::size_t condition_keyword(std::string_view text, std::size_t at,
                              std::initializer_list<std::string_view> words) {
  for (std::string_view w : words)
    if (filter_is(w, text, at)) return w.size();
  return 0;
}

std::size_t any_condition_keyword(std::string_view text, std::size_t at) {
  for (std::string_view w : kConditionWords)
    if (filter_is(w, text, at)) return w.size();
  return 0;
}

std::size_t line_end(std::string_view text, std::size_t at) {
  std::size_t end = text.find('\n', at);
  return end == npos ? text.size() : end;
}

// Replaces the condition of the line at `at` (everything after its keyword
// of length kw) by " " + cond, padded with blanks to the old length.
void set_condition(std::string& text, std::size_t at, std::size_t kw, std::string_view cond) {
  std::size_t from = at + kw;
  std::size_t old_len = line_end(text, from) - from;
  std::string repl = " ";
  repl += cond;
  if (repl.size() < old_len) repl.append(old_len - repl.size(), ' ');
  text.replace(from, old_len, repl);
}

bool holds_dollar(std::string_view s) {
  return s.find('$') != std::string_view::npos;
}

// equal, equals, match: compare the first argument with the others.
int compare_args(std::string_view cond, std::size_t test) {
  std::size_t arg = next_token(cond, test);
  if (arg == npos) return kUndecided;
  std::string first = token_at(cond, arg);
  if (holds_dollar(first) || first.size() > kMaxValueLength) return kUndecided;
  arg = next_token(cond, arg);
  if (arg == npos) return kUndecided;
  for (; arg != npos; arg = next_token(cond, arg)) {
    std::string other = token_at(cond, arg);
    if (other.size() > kMaxValueLength) return kUndecided;
    if (other == first) return kTrue;
    if (holds_dollar(other)) return kUndecided;
  }
  return kFalse;
}

enum class TestKind { kTrue, kFalse, kInput, kOutput, kCompare };

struct TestEntry {
  std::string_view name;
  TestKind kind;
};

constexpr TestEntry kTests[] = {
    {"gui", TestKind::kFalse},     {"www", TestKind::kTrue},       {"true", TestKind::kTrue},
    {"false", TestKind::kFalse},   {"input", TestKind::kInput},    {"output", TestKind::kOutput},
    {"equal", TestKind::kCompare}, {"equals", TestKind::kCompare}, {"match", TestKind::kCompare},
};

int run_test(TestKind kind, std::string_view cond, std::size_t test, char op) {
  switch (kind) {
    case TestKind::kTrue:
      return kTrue;
    case TestKind::kFalse:
      return kFalse;
    case TestKind::kInput:
      return op == 'm' || op == 'p' ? kTrue : kFalse;
    case TestKind::kOutput:
      return op == 'f' || op == 'v' ? kTrue : kFalse;
    case TestKind::kCompare:
      return compare_args(cond, test);
  }
  return kUndecided;
}

// The value a variable takes at parse time, or nullopt to keep it.
// A value from a record (or the web user's name) as it goes into filter
// text: it must stay data. A newline would start a command line of its own,
// so it becomes a blank; quotes, backslashes, "%" and "$" are escaped, so
// that the value neither ends a quoted prompt nor reads as a conversion,
// an escape or a variable, while token and label readers still see the
// characters themselves.
void append_inert(std::string& out, std::string_view value) {
  for (char c : value) {
    if (c == '\n') {
      out += ' ';
      continue;
    }
    if (c == '\\' || c == '"' || c == '\'' || c == '%' || c == '$') out += '\\';
    out += c;
  }
}

std::optional<std::string> variable_value(const std::string& var, char state, char op,
                                          const PfieldArray* fields, const FieldTable* fallback,
                                          const FieldTable* current) {
  if (var == "STATE") return std::string(1, state);
  if (var == "OPERATION") return std::string(1, op);
  if (current != nullptr) {
    if (const std::string* v = fieldvalue(var, *current)) return *v;
    if (op == 'v') return std::string();
  }
  if (fallback != nullptr && !field_is_valid(var, fields)) {
    const std::string* v = fieldvalue(var, *fallback);
    return v != nullptr ? *v : std::string();
  }
  return std::nullopt;
}

// Classification of a condition for folding: its first token.
int classify(std::string_view text, std::size_t at) {
  std::size_t tok = next_token(text, at);
  if (tok == npos) return kUndecided;
  std::string t = token_at(text, tok);
  if (t == "true") return kTrue;
  if (t == "false") return kFalse;
  return kUndecided;
}

// One fold of the chain under the head at `head`; true when something changed.
bool fold_once(std::string& text, std::size_t head) {
  std::size_t cur = head;
  for (;;) {
    std::size_t nxt = next_line(text, cur);
    if (nxt == npos) return false;
    // Only continuation lines belong to the chain; body lines never fold.
    std::size_t nkw = condition_keyword(text, nxt, {"and", "andif", "or", "orif"});
    if (nkw == 0 || next_token(text, nxt) == npos) return false;
    bool is_and = filter_is("and", text, nxt) || filter_is("andif", text, nxt);
    int c = classify(text, cur);
    int n = classify(text, nxt);
    if (c == kUndecided && n == kUndecided) {
      cur = nxt;
      continue;
    }
    int result = kUndecided;
    if (is_and) {
      if (c == kFalse || n == kFalse) result = kFalse;
      if (c == kTrue && n == kTrue) result = kTrue;
    } else {
      if (c == kTrue || n == kTrue) result = kTrue;
      if (c == kFalse && n == kFalse) result = kFalse;
    }
    std::size_t ckw = any_condition_keyword(text, cur);
    if (result != kUndecided) {
      remove_line(text, nxt);
      set_condition(text, cur, ckw, result == kTrue ? "true" : "false");
    } else if (c != kUndecided) {
      // true and X, false or X: X.
      std::size_t from = nxt + nkw;
      std::string cond = text.substr(from, line_end(text, from) - from);
      std::size_t skip = cond.find_first_not_of(" \t");
      cond = skip == std::string::npos ? std::string() : cond.substr(skip);
      remove_line(text, nxt);
      set_condition(text, cur, ckw, cond);
    } else {
      remove_line(text, nxt);  // X and true, X or false: X.
    }
    return true;
  }
}

// The condition of the line at `at` after its keyword of length kw, trimmed.
std::string_view trimmed_condition(std::string_view text, std::size_t at, std::size_t kw) {
  std::size_t from = at + kw;
  std::string_view c = text.substr(from, line_end(text, from) - from);
  while (!c.empty() && is_white(c.front())) c.remove_prefix(1);
  while (!c.empty() && is_white(c.back())) c.remove_suffix(1);
  return c;
}

// Resolves the decided if block at `at`; removing is set when the if is false.
void remove_block(std::string& text, std::size_t at, bool removing) {
  remove_line(text, at);
  int depth = 1;
  bool elif_done = false;
  for (std::size_t line = after_line(text, at); line != npos; line = after_line(text, line)) {
    std::size_t a = line_content(text, line);
    if (a == npos) return;
    if (is_white(text[a])) continue;
    if (filter_is("if", text, a)) {
      ++depth;
      if (removing) remove_line(text, a);
    } else if (filter_is("fi", text, a)) {
      if (--depth == 0) {
        remove_line(text, a);
        return;
      }
      if (removing) remove_line(text, a);
    } else if (depth > 1 || elif_done) {
      if (removing) remove_line(text, a);
    } else if (filter_is("else", text, a)) {
      removing = !removing;
      remove_line(text, a);
    } else if (filter_is("elif", text, a)) {
      if (removing) {
        // The false if gives way to the elif, examined later as an if.
        text[a] = ' ';
        text[a + 1] = ' ';
        return;
      }
      removing = true;
      elif_done = true;
      remove_line(text, a);
    } else if (condition_keyword(text, a, {"then", "and", "andif", "or", "orif"}) != 0) {
      remove_line(text, a);
    } else if (removing) {
      remove_line(text, a);
    }
  }
}

}  // namespace

std::optional<std::string> expand_vars(std::optional<std::string_view> text, char state, char op,
                                       const PfieldArray* fields, const FieldTable* fallback,
                                       const FieldTable* current,
                                       std::optional<std::string_view> name) {
  if (!text) return std::nullopt;
  std::string_view t = *text;
  std::string out;
  for (std::size_t i = 0; i < t.size();) {
    char c = t[i];
    char next = i + 1 < t.size() ? t[i + 1] : '\0';
    if (c == '\\') {
      out += t.substr(i, 2);
      i += 2;
    } else if (c == '$' && next == '~') {
      out += gethomedir();
      i += 2;
    } else if (c == '$' && next == '@') {
      if (auto user = ruserid()) append_inert(out, *user);
      i += 2;
    } else if (c == '$') {
      std::string var;
      std::size_t len;
      if (next == '$' && op == 'v' && name) {
        var = std::string(*name);
        len = 2;
      } else {
        var = *variable_name(t, i);
        len = 1 + var.size();
      }
      std::optional<std::string> value;
      if (!var.empty()) value = variable_value(var, state, op, fields, fallback, current);
      if (value && (var == "STATE" || var == "OPERATION")) {
        out += *value;
      } else if (value) {
        append_inert(out, *value);
      } else {
        out += t.substr(i, len);
      }
      i += len;
    } else {
      out += c;
      ++i;
    }
    if (out.size() > kMaxLogicText) return std::nullopt;
  }
  return out;
}

int eval_cmd(std::string_view condition, char op) {
  std::string_view cond = condition.substr(0, condition.find('\n'));
  bool negate = false;
  std::size_t test = line_content(cond, 0);
  while (test != npos && filter_is("not", cond, test)) {
    negate = !negate;
    test = next_token(cond, test);
  }
  if (test == npos) return kUndecided;
  std::string word = token_at(cond, test);
  for (const TestEntry& e : kTests) {
    if (word != e.name) continue;
    int r = run_test(e.kind, cond, test, op);
    if (negate && r != kUndecided) r = r == kTrue ? kFalse : kTrue;
    return r;
  }
  return kUndecided;
}

void eval_logic(std::string& text, char op) {
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at == npos) break;
    std::size_t kw = any_condition_keyword(text, at);
    if (kw == 0) continue;
    std::size_t test = next_token(text, at);
    if (test == npos || filter_is("-f", text, test)) continue;
    std::size_t from = at + kw;
    int r = eval_cmd(std::string_view(text).substr(from, line_end(text, from) - from), op);
    if (r != kUndecided) set_condition(text, at, kw, r == kTrue ? "true" : "false");
  }
}

void collapse_logic(std::string& text) {
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at == npos) break;
    if (condition_keyword(text, at, {"if", "elif"}) == 0) continue;
    // Every fold blanks a line, so this ends.
    while (fold_once(text, at)) {
    }
  }
}

void remove_logic(std::string& text) {
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at == npos) break;
    if (!filter_is("if", text, at)) continue;
    std::string_view cond = trimmed_condition(text, at, 2);
    if (cond == "true" || cond == "false") remove_block(text, at, cond == "false");
  }
}

std::optional<std::string> reduce_logic(std::optional<std::string_view> text, char state, char op,
                                        const PfieldArray* fields, const FieldTable* fallback,
                                        const FieldTable* current,
                                        std::optional<std::string_view> name) {
  std::optional<std::string> out = expand_vars(text, state, op, fields, fallback, current, name);
  if (!out) return std::nullopt;
  eval_logic(*out, op);
  collapse_logic(*out);
  remove_logic(*out);
  remove_empty_logic(*out);
  return out;
}

void pstrip_logic(PfieldArray& fields, char op, const FieldTable* fallback,
                  const FieldTable* current) {
  if (op == 'q') op = 'm';
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    if (!f.states || f.states->empty() || !f.derivation) continue;
    auto reduced =
        reduce_logic(*f.derivation, (*f.states)[0], op, &fields, fallback, current, f.name);
    if (reduced) {
      f.derivation = std::move(*reduced);
      f.input_point.reset();
    }
  }
}

}  // namespace plix

#include "template/parse_steps.h"

#include <initializer_list>
#include <string>

#include "recstore/field_table.h"
#include "template/logic_copy.h"
#include "template/text_ops.h"
#include "util/messages.h"

namespace plix {

namespace {

// Value checks that fix a field's type, in the order they are tried (the
// longer "gooddate -E" before "gooddate").
struct ValueCheck {
  std::string_view word;
  int type;
};
constexpr ValueCheck kValueChecks[] = {
    {"gooddate -E", FT_EDATETIME}, {"gooddate", FT_DATETIME}, {"yesno", FT_CHECKBOX},
    {"gooduser", FT_USER},         {"goodusers", FT_USER},    {"oneof", FT_ONEOF},
    {"someof", FT_SOMEOF},         {"combobox", FT_COMBOBOX},
};

bool reached(const pfield& f) {
  return f.states && !f.states->empty();
}

// The lines of mode with their conditional lines, empty blocks dropped. The
// result is a new text, so the lines that remove_empty_logic blanked are
// left out: every stored line is " <command>\n".
std::string cut_logic(const pfield& f, int mode) {
  std::string raw;
  copy_logic(f, raw, mode);
  remove_empty_logic(raw);
  std::string out;
  for (std::size_t line = 0; line != npos && line < raw.size(); line = after_line(raw, line)) {
    std::size_t end = raw.find('\n', line);
    std::string_view l = std::string_view(raw).substr(line, end == npos ? npos : end - line + 1);
    if (!blank_text(l)) out += l;
  }
  return out;
}

std::optional<std::string> non_blank(std::string s) {
  if (blank_text(s)) return std::nullopt;
  return s;
}

// Blanks every line of text that is one of the commands.
void blank_commands(std::string& text, std::initializer_list<std::string_view> words) {
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at == npos) continue;
    for (std::string_view w : words) {
      if (filter_is(w, text, at)) {
        remove_line(text, line);
        break;
      }
    }
  }
}

// The title that starts at pos: the rest of its line, a leading '"' skipped
// and a trailing one dropped; nullopt when nothing is left.
std::optional<std::string> title_at(std::string_view text, std::size_t pos) {
  std::string title;
  copy2nl(text, pos, title);
  while (!title.empty() && is_white(title.back())) title.pop_back();
  if (!title.empty() && title.front() == '"') title.erase(0, 1);
  if (!title.empty() && title.back() == '"') title.pop_back();
  if (title.empty()) return std::nullopt;
  return title;
}

// Reads "editfile [-i FILE] [-r|-R] ... TITLE" at `at`; returns where the
// title starts (npos for none).
std::size_t read_editfile(pfield& f, std::string_view text, std::size_t at) {
  std::size_t w = next_token(text, at);
  while (w != npos) {
    std::string word = token_at(text, w);
    if (word.rfind("-i", 0) == 0) {
      std::size_t file = next_token(text, w);
      if (file == npos) return npos;
      std::string name = token_at(text, file);
      if (!name.empty()) f.defaults = std::move(name);
      w = next_token(text, file);
    } else if (word.rfind("-r", 0) == 0 || word.rfind("-R", 0) == 0) {
      f.required = std::string(1, word[1]) + "eq";
      w = next_token(text, w);
    } else {
      if (!word.empty() && word[0] == '-') {
        std::string rest(text.substr(w));
        warn("Unknown option to editfile: %s\n", rest.c_str());
      }
      return w;
    }
  }
  return npos;
}

void parse_enclosure(pfield& f) {
  f.type = FT_ENCLOSURE;
  f.required.reset();
  f.defaults.reset();
  if (!f.derivation) return;
  std::string_view text = *f.derivation;

  std::size_t title = npos;
  std::size_t at = next_filter(text, 0, "editfile");
  if (at != npos) {
    title = read_editfile(f, text, at);
  } else if ((at = next_filter(text, 0, "echo")) != npos) {
    title = next_token(text, at);
  }
  if (title != npos) f.label = title_at(text, title);

  f.input_point = text.size();
  f.validation = non_blank(cut_logic(f, kCopyDefaults));
}

// copy_logic mode of a picklist type, or -1.
int picklist_mode(int type) {
  switch (type) {
    case FT_ONEOF:
      return kCopyOneof;
    case FT_SOMEOF:
      return kCopySomeof;
    case FT_COMBOBOX:
      return kCopyCombobox;
    default:
      return -1;
  }
}

// The first value check after the input line, or FT_NONE.
int value_check_type(const pfield& f) {
  std::string_view text = *f.derivation;
  bool after_input = false;
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    if (line > *f.input_point) after_input = true;
    if (!after_input) continue;
    std::size_t at = line_content(text, line);
    if (at == npos) continue;
    for (const ValueCheck& c : kValueChecks)
      if (filter_is(c.word, text, at)) return c.type;
  }
  return FT_NONE;
}

}  // namespace

bool is_enclosure_field(std::string_view name) {
  return fname_eq(name, "Related-file") || name == "History";
}

void parse_enclosures(PfieldArray& fields) {
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    if (reached(f) && is_enclosure_field(f.name)) parse_enclosure(f);
  }
}

void parse_defaults(PfieldArray& fields) {
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    if (!(reached(f) || f.type == FT_SKIP) || f.type == FT_ENCLOSURE || !f.derivation) continue;
    std::optional<std::string> defaults = non_blank(cut_logic(f, kCopyDefaults));
    if (!defaults) continue;
    f.defaults = std::move(defaults);
    if (f.type == FT_NONE) f.type = FT_DEFAULT;
  }
}

void parse_oneofs(pfield& f) {
  int mode = picklist_mode(f.type);
  if (mode < 0 || !f.derivation) return;
  if (auto list = non_blank(cut_logic(f, mode))) f.picklist = std::move(list);
}

void parse_type(pfield& f) {
  if (!f.derivation) return;
  if (f.type != FT_SKIP && f.input_point) {
    int type = value_check_type(f);
    if (type != FT_NONE) {
      f.type = type;
      parse_oneofs(f);
    }
  }
  blank_commands(*f.derivation,
                 {"gooddate", "yesno", "gooduser", "goodusers", "oneof", "someof", "combobox"});
}

void parse_help(pfield& f) {
  if (!f.derivation) return;
  if (auto help = non_blank(cut_logic(f, kCopyHelp))) f.help = std::move(help);
  blank_commands(*f.derivation, {"help"});
}

void parse_required(pfield& f) {
  if (!f.derivation) return;
  if (auto req = non_blank(cut_logic(f, kCopyRequired))) f.required = std::move(req);
  blank_commands(*f.derivation, {"required"});
}

void parse_helps(PfieldArray& fields) {
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    parse_help(f);
  }
}

void parse_validation(PfieldArray& fields) {
  for (pfield& f : fields) {
    if (f.type == FT_END) break;
    if (!reached(f) || !f.input_point || f.type == FT_ENCLOSURE || !f.derivation) continue;
    parse_type(f);
    parse_help(f);
    parse_required(f);
    f.validation = cut_logic(f, kCopyValidation);
  }
}

}  // namespace plix

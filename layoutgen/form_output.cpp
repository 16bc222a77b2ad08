#include "layoutgen/form_output.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "layoutgen/browser.h"
#include "layoutgen/default_values.h"
#include "layoutgen/exit_status.h"
#include "template/help_files.h"
#include "template/text_ops.h"
#include "site/layout.h"
#include "util/file_access.h"
#include "util/files.h"
#include "util/messages.h"

namespace plix {

namespace {

const char* const kSep = "\x1c\n";
const char* const kEnd = "\x1e\n";
const char* const kDashes = "--------------------------\n";
const char* const kDisplayed = "Displayed";
const char* const kGroup = "Group";

struct Group {
  std::string label;
  std::string list;
};

// Writes one form; `out` collects the bytes.
class FormWriter {
 public:
  FormWriter(LayoutgenRun& run, std::FILE* stream) : run_(run), stream_(stream) {}
  int write();
  /// Hands what was collected to the stream.
  void flush() {
    std::fwrite(out_.data(), 1, out_.size(), stream_);
    out_.clear();
  }

 private:
  Action action() const { return run_.action->action; }
  bool query_like() const { return action() == Action::kQuery || action() == Action::kConvert; }
  bool entering() const {
    return action() == Action::kSubmit || action() == Action::kModify ||
           action() == Action::kClone || action() == Action::kTransition;
  }
  bool ie() const { return run_.browser_type == BROWSER_IE; }

  // Every text placed in the description goes through put (as it is) or
  // put_decoded (character references decoded): neither lets a separator
  // byte through, so no value can end a key or a record early.
  void put(std::string_view text) {
    append_plain(out_, text);
    if (out_.size() >= kOutputChunk) flush();
  }
  void put_decoded(std::string_view text) {
    // Long texts go out piece by piece instead of being held whole; a piece
    // never ends inside a reference ("&#NNN;" is six bytes).
    while (!text.empty()) {
      std::size_t cut = std::min(text.size(), kOutputChunk);
      if (cut < text.size()) {
        std::size_t amp = text.rfind('&', cut - 1);
        if (amp != std::string_view::npos && amp + 6 > cut && amp > 0) cut = amp;
      }
      append_decoded(out_, text.substr(0, cut));
      text.remove_prefix(cut);
      if (out_.size() >= kOutputChunk) flush();
    }
  }
  // The first `count` values, one per line. A list that needs neither
  // decoding nor filtering (the common case) and lies joined in its file
  // already is written as that text.
  void put_values(const PickValues& values, std::size_t count, bool decode) {
    count = std::min(count, values.size());
    if (count == 0) return;
    bool plain = values.plain();
    if (std::optional<std::string_view> joined = values.joined();
        plain && joined && count == values.size()) {
      put_raw(*joined);
      return;
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (i) out_ += '\n';
      if (plain)
        out_.append(values[i]);
      else if (decode)
        put_decoded(values[i]);
      else
        put(values[i]);
      if (out_.size() >= kOutputChunk) flush();
    }
  }
  // Text known to be safe; a large one goes straight to the stream.
  void put_raw(std::string_view text) {
    if (out_.size() + text.size() < kOutputChunk) {
      out_.append(text);
      return;
    }
    flush();
    std::fwrite(text.data(), 1, text.size(), stream_);
  }
  void key(std::string_view k, std::string_view v) {
    out_ += k;
    out_ += kSep;
    put(v);
    out_ += kSep;
  }
  void event_script(const pfield& f) {
    if (f.event_script) key(ie() ? "EventScript" : "OnChange", *f.event_script);
  }
  std::optional<std::string> help_file(const pfield& f) {
    if (!f.help || f.help->empty()) return std::nullopt;
    return pl_get_help(std::string_view(*f.help), std::string_view(run_.help_path));
  }

  void first_pass();
  bool project_record();
  bool skip_field(pfield& f);
  bool field_record(pfield& f);
  const Picklist* field_picklist(const pfield& f);
  void default_and_value(pfield& f, const std::string*& def, const std::string*& val,
                         bool label_present);
  void status_record(const pfield& f);
  void group_records();
  void misc_record();
  void picklist_listing();
  void add_group_member(std::string_view name, std::string& line, bool& counted);
  void group_record(std::string_view key_word, std::string_view label, std::string_view list) {
    out_ += key_word;
    out_ += kSep;
    out_ += '"';
    put(label);
    out_ += "\" = ";
    put(list);
    out_ += kSep;
    out_ += kEnd;
  }

  LayoutgenRun& run_;
  std::FILE* stream_;
  std::string out_;
  /// Merged query picklists by picklist text: equal texts merge once.
  std::vector<std::pair<std::string, std::size_t>> merged_;
  bool project_written_ = false;
  std::vector<Group> groups_;
  Picklist empty_oneof_;
};

const char* type_keyword(int type, bool ie) {
  switch (type) {
    case FT_NONE:
    case FT_DEFAULT:
      return "FT_DEFAULT";
    case FT_TEXT:
      return "FT_TEXT";
    case FT_ENCLOSURE:
      return "FT_ENCLOSURE";
    case FT_DATETIME:
      return "FT_DATETIME";
    case FT_EDATETIME:
      return "FT_EDATETIME";
    case FT_INTEGER:
      return "FT_INTEGER";
    case FT_FLOAT:
      return "FT_FLOAT";
    case FT_CHECKBOX:
      return "FT_CHECKBOX";
    case FT_ONEOF:
    case FT_DEP_ONEOF:
      return ie ? "FT_OBJ_ONEOF" : "FT_ONEOF";
    case FT_SOMEOF:
    case FT_DEP_FIELD:
      return "FT_SOMEOF";
    case FT_COMBOBOX:
      return "FT_COMBOBOX";
    case FT_VIEWONLY:
      return "FT_VIEWONLY";
    case FT_USER:
      return "FT_USER";
    default:
      return "???";
  }
}

bool is_picklist_type(int type) {
  return type == FT_ONEOF || type == FT_SOMEOF || type == FT_COMBOBOX || type == FT_DEP_ONEOF ||
         type == FT_DEP_FIELD;
}

bool has_alnum(std::string_view s) {
  for (char c : s)
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
  return false;
}

void trim_label(std::string& label) {
  std::size_t start = 0;
  while (start < label.size() && is_white(label[start])) ++start;
  std::size_t end = label.size();
  while (end > start && (is_white(label[end - 1]) || label[end - 1] == ':')) --end;
  label = label.substr(start, end - start);
}

// The field list of a group definition: a view-only field whose defaults
// begin a "set group_fields" line; nullopt when the field is none.
std::optional<std::string> group_list(const pfield& f) {
  if (f.type != FT_VIEWONLY || !f.defaults) return std::nullopt;
  const std::string& text = *f.defaults;
  std::size_t set = next_filter(text, 0, "set");
  if (set == npos) return std::nullopt;
  std::size_t word = next_token(text, set);
  if (word == npos || !filter_is("group_fields", text, word)) return std::nullopt;
  std::size_t rest = word + std::string_view("group_fields").size();
  while (rest < text.size() && (text[rest] == ' ' || text[rest] == '\t')) ++rest;
  std::string list;
  copy2nl(text, rest, list);
  while (!list.empty() && is_white(list.back())) list.pop_back();
  return list;
}

}  // namespace

std::string script_header(int browser_type) {
  const char* body;
  switch (browser_type) {
    case BROWSER_MOZILLA4:
      body = "\n// Browser_type is Mozilla 3 or 4\nfunction submit_func() {\n}\n";
      break;
    case BROWSER_MOZILLA5:
      body = "\n// Browser_type is Mozilla 5\nfunction submit_func() {\n}\n";
      break;
    case BROWSER_IE4:
      body = "\n// Browser_type is IE4\nfunction submit_func() {\n}\n";
      break;
    case BROWSER_IE:
      body =
          "\n// Browser_type is IE\nvar fieldNames = new Array();\nfunction submit_func() {\n"
          "\tvar i, field;\n\tvar formName = \"FORM1\";\n\tvar FieldNames = fieldNames;\n"
          "\tfor(i=0; i < FieldNames.length; i++) {\n\t\tfield=FieldNames[i];\n"
          "\t\tif (eval(\"document.\" + formName + \".\"\n"
          "\t\t\t+ field + \"_OBJ.ListIndex\") < 0) {\n"
          "\t\t\teval(\"document.\" + formName + \".\" + field +\n"
          "\t\t\t\".value = \\\"\\\";\");\n\t\t}\n\t\telse {\n"
          "\t\teval(\"document.\" + formName + \".\" + field +\n"
          "\t\t\t\".value = document.\" + formName + \".\"\n"
          "\t\t\t+ field + \"_OBJ.value;\");\n\t\t}\n\t}\n}\n\n";
      break;
    default:
      body = "\n// Browser_type is none or unknown\nfunction submit_func() {\n}\n";
      break;
  }
  return std::string("script") + kSep + body + kSep + kEnd;
}

bool is_separator(char c) {
  return c == kFS || c == kRS;
}

// Two vectorized scans: far cheaper than a set lookup per byte.
bool has_separator(std::string_view text) {
  return std::memchr(text.data(), kFS, text.size()) != nullptr ||
         std::memchr(text.data(), kRS, text.size()) != nullptr;
}

void append_plain(std::string& out, std::string_view text) {
  if (!has_separator(text)) {
    out.append(text);
    return;
  }
  for (char c : text)
    if (!is_separator(c)) out += c;
}

void append_decoded(std::string& out, std::string_view text) {
  if (has_separator(text)) {
    std::string clean;
    append_plain(clean, text);
    append_decoded(out, clean);
    return;
  }
  std::size_t done = 0;
  for (std::size_t at = text.find("&#"); at != std::string_view::npos;
       at = text.find("&#", at + 1)) {
    if (at + 5 >= text.size()) break;
    const char* d = text.data() + at + 2;
    if (!std::isdigit(static_cast<unsigned char>(d[0])) ||
        !std::isdigit(static_cast<unsigned char>(d[1])) ||
        !std::isdigit(static_cast<unsigned char>(d[2])) || d[3] != ';')
      continue;
    int n = (d[0] - '0') * 100 + (d[1] - '0') * 10 + (d[2] - '0');
    char byte = static_cast<char>(n % 256);
    // A NUL would cut the value short, a separator would end its key or
    // record: such references stay as they are.
    if (byte == '\0' || is_separator(byte)) continue;
    out.append(text.substr(done, at - done));
    out += byte;
    done = at + 6;
    at += 5;
  }
  out.append(text.substr(done));
}

std::string decode_char_refs(std::string_view text) {
  std::string out;
  append_decoded(out, text);
  return out;
}

void FormWriter::first_pass() {
  for (pfield& f : run_.fields) {
    if (f.type == FT_END) break;
    if (f.type != FT_ENCLOSURE)
      for (char& c : f.name)
        if (c == '-') c = '_';
    if (query_like()) continue;
    bool dependent = (f.type == FT_ONEOF || f.type == FT_SOMEOF || f.type == FT_COMBOBOX) &&
                     f.picklist && f.picklist->find('$') != std::string::npos;
    // Without a script that keeps the list in step, the field is typed freely.
    if (dependent) f.type = FT_TEXT;
  }
}

bool FormWriter::project_record() {
  std::optional<std::string> help;
  for (const pfield& f : run_.fields) {
    if (f.type == FT_END) break;
    if (fname_eq(f.name, "Project") && f.help && !f.help->empty()) help = help_file(f);
  }
  Picklist* list = pl_find_oneof(run_.oneofs, run_.proj_field.picklist.value_or(""),
                                 run_.oneof_path);
  if (list == nullptr) {
    if (action() != Action::kSubmit) return true;
    warn("The class \"%s\" does not contain any projects.\n", run_.klass.c_str());
    warn("You can not submit records to a class that does\n");
    warn(" not contain a project.\n");
    return false;
  }
  project_written_ = true;
  run_.proj_field.display = kDisplayed;
  key("name", "Project");
  key("type", ie() ? "FT_OBJ_ONEOF" : "FT_ONEOF");
  key("label", run_.proj_field.label.value_or("Project"));
  event_script(run_.proj_field);
  out_ += "values";
  out_ += kSep;
  put_values(list->values, list->values.size(), false);
  if (help) {
    out_ += kSep;
    out_ += "helpfile";
    out_ += kSep;
    put(*help);
  }
  out_ += kSep;
  key("required", "YES");
  out_ += kEnd;
  return true;
}

// The tests that leave a template field out of the form, in their order.
bool FormWriter::skip_field(pfield& f) {
  if (query_like()) {
    for (const pfield& g : run_.fields) {
      if (&g == &f || g.type == FT_END) break;
      if (g.display == kDisplayed && fname_eq(g.name, f.name)) return true;
    }
  }
  if (!run_.project && f.name == "Project" && project_written_) {
    f.display = kDisplayed;
    return true;
  }
  if (!query_like() && (f.type == FT_NONE || f.type == FT_SKIP || f.type == FT_DEFAULT))
    return true;
  if ((query_like() || action() == Action::kDisplay) && f.type == FT_ENCLOSURE) return true;
  if (f.type == FT_ENCLOSURE && (!f.label || f.label->empty())) return true;
  if (std::optional<std::string> list = group_list(f)) {
    if (list->empty())
      warn("No fields listed with group definition %s\n", f.name.c_str());
    else if (groups_.size() < kMaxGroups)
      groups_.push_back({f.label.value_or(""), list->substr(0, kMaxValueLength)});
    f.display = kGroup;
    return true;
  }
  if (query_like()) {
    const std::string* wanted = fieldvalue(f.name, run_.cache_conf);
    if (wanted == nullptr || wanted->empty()) return true;
    if (f.type == FT_VIEWONLY) return true;
    if (f.name == "Status") {
      status_record(f);
      f.display = kDisplayed;
      return true;
    }
  }
  return false;
}

const Picklist* FormWriter::field_picklist(const pfield& f) {
  const Picklist* list = nullptr;
  if (query_like()) {
    const std::string text = f.picklist.value_or("");
    for (const auto& [seen, slot] : merged_)
      if (seen == text) {
        const Picklist& p = run_.oneofs->entries[slot];
        return p.values.empty() ? &empty_oneof_ : &p;
      }
    std::size_t slot = 0;
    list = pl_merge_oneofs(run_.oneofs, text, run_.oneof_path, &slot);
    if (run_.oneofs) merged_.emplace_back(text, slot);
  } else {
    const std::optional<std::string>& spec =
        (f.type == FT_DEP_ONEOF || f.type == FT_DEP_FIELD) ? f.values_spec : f.picklist;
    list = pl_find_oneof(run_.oneofs, spec.value_or(""), run_.oneof_path);
  }
  return list ? list : &empty_oneof_;
}

namespace {

const std::string* text_of(const std::optional<std::string>& v) {
  return v ? &*v : nullptr;
}

}  // namespace

void FormWriter::default_and_value(pfield& f, const std::string*& def, const std::string*& val,
                                   bool label_present) {
  if (f.type == FT_VIEWONLY) {
    const std::string* stored = run_.bug_record ? fieldvalue(f.name, *run_.bug_record) : nullptr;
    if (label_present && run_.bug_record && f.label->find("$$") != std::string::npos)
      def = val = stored;
    else
      def = val = text_of(f.label);
    return;
  }
  if (entering()) {
    complex_def_value(f, run_.bug_record.get());
    def = text_of(f.default_value);
    val = text_of(f.value);
  }
}

bool FormWriter::field_record(pfield& f) {
  // The values are not copied: a large one is held once by the field.
  const std::string* def = nullptr;
  const std::string* val = nullptr;
  const int failures = default_value_state().failures;
  if ((query_like() || action() == Action::kDisplay) && field_is_datetime(f.name, run_.schema))
    f.type = FT_DATETIME;
  if (run_.opts.verbose) out_ += kDashes;
  if (action() == Action::kDisplay) {
    const std::string* stored = run_.bug_record ? fieldvalue(f.name, *run_.bug_record) : nullptr;
    complex_def_value(f, run_.bug_record.get());
    // A datetime that the derivation reformats is no longer a date the form can edit.
    if (f.type == FT_DATETIME && (!f.value || f.value->empty() || !stored || stored->empty() ||
                                  *f.value != *stored))
      f.type = FT_TEXT;
    def = val = text_of(f.default_value);
  }
  if (f.type == FT_ENCLOSURE) f.name = f.label.value_or("") + "_encl";
  key("name", f.name);
  f.display = kDisplayed;
  const Picklist* list = is_picklist_type(f.type) ? field_picklist(f) : nullptr;
  key("type", type_keyword(f.type, ie()));
  if (ie() && (f.type == FT_ONEOF || f.type == FT_DEP_ONEOF) && f.depends_on_count > 0)
    key("IsDependent", "true");
  event_script(f);
  bool label_present = f.label && has_alnum(*f.label);
  if (label_present) trim_label(*f.label);
  key("label", label_present && f.type != FT_VIEWONLY ? *f.label : f.name);
  key("size", std::to_string(f.size));
  key("length", std::to_string(f.length));
  key("required", f.required ? "YES" : "NO");
  if (std::optional<std::string> help = help_file(f)) key("helpfile", *help);
  if (list) {
    out_ += "values";
    out_ += kSep;
    if (list->values.empty()) {
      out_ += kSep;
      out_ += kEnd;
      return true;
    }
    put_values(list->values, run_.convert ? 1 : list->values.size(), true);
    out_ += kSep;
  }
  default_and_value(f, def, val, label_present);
  // A value that could not be had (an enclosure text that did not come out
  // of its record) makes the form wrong: the run fails rather than show it.
  if (default_value_state().failures != failures) return false;
  if (!run_.convert) {
    for (const auto& [name, text] : {std::pair{"default", def}, std::pair{"value", val}}) {
      if (text == nullptr || text->empty()) continue;
      out_ += name;
      out_ += kSep;
      put_decoded(*text);
      out_ += kSep;
    }
  }
  out_ += kEnd;
  return true;
}

void FormWriter::status_record(const pfield& f) {
  std::optional<std::string> names =
      file2buf(class_path(run_.klass, kStatenamesFile));
  key("name", "Status");
  key("type", ie() ? "FT_OBJ_ONEOF" : "FT_ONEOF");
  key("label", "State");
  key("size", "-1");
  key("length", "-1");
  event_script(f);
  if (std::optional<std::string> help = help_file(f)) key("helpfile", *help);
  out_ += "values";
  out_ += kSep;
  std::string_view text = names ? std::string_view(*names) : std::string_view();
  for (std::size_t i = 0; i < run_.states.size(); ++i) {
    char letter = run_.states[i];
    if (i) out_ += '\n';
    // The description line of a state: the first line after the first one
    // that begins with its letter, or the first line itself when it does.
    std::optional<std::string_view> line;
    if (!text.empty() && text[0] == letter) line = text.substr(0, text.find('\n'));
    for (std::size_t p = text.find('\n'); !line && p != std::string_view::npos;
         p = text.find('\n', p + 1))
      if (p + 1 < text.size() && text[p + 1] == letter)
        line = text.substr(p + 1, text.find('\n', p + 1) - p - 1);
    if (!line) {
      put(std::string_view(&letter, 1));
      continue;
    }
    std::string l(*line);
    std::size_t at = 0;
    for (int token = 0; token < 3 && at != npos; ++token) {
      at = skip_space(l, at);
      if (at == npos) break;
      while (at < l.size() && !is_white(l[at])) ++at;
    }
    std::string description;
    if (at != npos) {
      at = skip_space(l, at);
      if (at != npos) description = l.substr(at, kMaxStateDescription);
    }
    put(description);
    out_ += '=';
    put(std::string_view(&letter, 1));
  }
  out_ += kSep;
  out_ += kEnd;
}

void FormWriter::add_group_member(std::string_view name, std::string& line, bool& counted) {
  counted = false;
  if (name.empty()) {
    counted = true;
    return;
  }
  bool pseudo = (name == "Project" && (action() == Action::kSubmit || action() == Action::kQuery)) ||
                (name == "Status" && action() == Action::kQuery);
  if (pseudo) {
    line += name;
    counted = true;
    for (pfield& f : run_.fields) {
      if (f.type == FT_END) break;
      if (f.display == kDisplayed && f.name == name) f.display = kGroup;
    }
    return;
  }
  for (pfield& f : run_.fields) {
    if (f.type == FT_END) break;
    if (f.display == kDisplayed && fname_eq(f.name, name)) {
      line += f.name;
      f.display = kGroup;
      counted = true;
      return;
    }
  }
}

void FormWriter::group_records() {
  for (const Group& g : groups_) {
    std::string line;
    std::string_view list = g.list;
    std::size_t pos = 0;
    while (pos <= list.size()) {
      std::size_t comma = list.find(',', pos);
      std::string_view item =
          list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
      pos = comma == std::string_view::npos ? list.size() + 1 : comma + 1;
      while (!item.empty() && is_white(item.front())) item.remove_prefix(1);
      std::string_view name = item, suffix;
      std::size_t colon = item.find(':');
      if (colon != std::string_view::npos) {
        name = item.substr(0, colon);
        suffix = item.substr(colon);
      }
      while (!name.empty() && is_white(name.back())) name.remove_suffix(1);
      bool counted = false;
      add_group_member(name, line, counted);
      if (counted) {
        line += suffix;
        line += ',';
      }
    }
    if (line.size() > kMaxValueLength + 1) line.resize(kMaxValueLength + 1);
    if (!line.empty()) {
      line.pop_back();
      if (!run_.convert) group_record("group", g.label, line);
    }
    if (run_.opts.verbose && !run_.convert) group_record("original group", g.label, g.list);
  }
}

void FormWriter::misc_record() {
  if (run_.convert) return;
  bool any = false;
  auto consider = [&](const pfield& f) {
    if (f.display != kDisplayed) return;
    if (entering() && f.name == "Status") return;
    if ((action() == Action::kModify || action() == Action::kTransition) && f.name == "Project")
      return;
    out_ += any ? "," : std::string("group") + kSep + "\"Miscellaneous Fields\" = ";
    put(f.name);
    any = true;
  };
  for (const pfield& f : run_.fields) {
    if (f.type == FT_END) break;
    consider(f);
  }
  if (any) {
    out_ += kSep;
    out_ += kEnd;
  }
}

void FormWriter::picklist_listing() {
  if (!run_.oneofs) return;
  for (const Picklist& p : run_.oneofs->entries) {
    if (p.kind == PL_END) break;
    if (p.name.empty() || p.values.empty()) continue;
    out_ += "*******************\npl name: ";
    put(p.name);
    out_ += "\npl values: \n";
    for (std::string_view v : p.values) {
      out_ += "  ";
      put(v);
      out_ += '\n';
    }
  }
}

int FormWriter::write() {
  first_pass();
  if (!run_.project && !project_record()) return kExitUsage;
  flush();
  for (pfield& f : run_.fields) {
    if (f.type == FT_END) break;
    if (!skip_field(f) && !field_record(f)) return kExitUnusable;
    if (out_.size() >= kOutputChunk) flush();
  }
  group_records();
  misc_record();
  if (run_.opts.verbose) picklist_listing();
  return kExitOk;
}

int write_form(LayoutgenRun& run, std::FILE* stream) {
  FormWriter writer(run, stream);
  int status = writer.write();
  writer.flush();
  return status;
}

}  // namespace plix

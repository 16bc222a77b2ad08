#include "template/picklist_expand.h"

#include <unordered_set>

#include "recstore/record_file.h"
#include "site/home.h"
#include "template/text_ops.h"
#include "util/messages.h"

namespace plix {

namespace {

bool is_picklist_type(int type) {
  return type == FT_ONEOF || type == FT_SOMEOF || type == FT_COMBOBOX;
}

// The command word whose lines a field of that type loads.
std::string_view own_word(int type) {
  switch (type) {
    case FT_SOMEOF:
      return "someof";
    case FT_COMBOBOX:
      return "combobox";
    default:
      return "oneof";
  }
}

const pfield* find_field(const PfieldArray& fields, std::string_view name) {
  for (const pfield& f : fields) {
    if (f.type == FT_END) break;
    if (f.name == name) return &f;
  }
  return nullptr;
}

const Picklist* loaded_entry(const PickTable& table, std::string_view name) {
  const Picklist& p = table.entries[which_oneof(table, name)];
  return p.kind == PL_FREE || p.kind == PL_END ? nullptr : &p;
}

// The first variable with a name in the line's name part ("$~" and "$$" are
// not fields), or nullopt.
std::optional<std::string> controlling_variable(std::string_view line) {
  std::optional<std::string> name = get_oneof_name(line);
  if (!name) return std::nullopt;
  for (std::size_t at = name->find('$'); at != npos; at = name->find('$', at + 1)) {
    std::optional<std::string> var = variable_name(*name, at);
    if (var && !var->empty()) return var;
  }
  return std::nullopt;
}

int copy_line(std::string_view line, GrowBuffer& buf) {
  std::string out;
  copy2nl(line, 0, out);
  out += '\n';
  return add2buffer(buf, out);
}

// Calls fn(pos) for the command word of every line of `text` that is `word`.
template <typename Fn>
void for_each_filter(std::string_view text, std::string_view word, Fn fn) {
  for (std::size_t at = next_filter(text, 0, word); at != npos;) {
    fn(at);
    std::size_t next = after_line(text, at);
    at = next == npos ? npos : next_filter(text, next, word);
  }
}

}  // namespace

bool safe_picklist_value(std::string_view value) {
  if (value == "." || value == "..") return false;
  return value.find_first_of("/$\"'\\\n") == std::string_view::npos;
}

std::optional<std::vector<std::vector<std::string>>> get_values(std::string_view name,
                                                                const PfieldArray& fields,
                                                                const PickTable& table) {
  std::vector<std::vector<std::string>> lists;
  if (name == "Project") {
    if (const Picklist* p = loaded_entry(table, kProjectPicklist)) lists.push_back(p->values.strings());
  } else if (const pfield* f = find_field(fields, name);
             f && is_picklist_type(f->type) && f->picklist) {
    const std::string& text = *f->picklist;
    for_each_filter(text, own_word(f->type), [&](std::size_t at) {
      std::optional<std::string> list_name = get_oneof_name(std::string_view(text).substr(at));
      if (!list_name) return;
      if (const Picklist* p = loaded_entry(table, *list_name)) lists.push_back(p->values.strings());
    });
  }
  if (lists.empty()) return std::nullopt;
  return lists;
}

int expand_oneof_line(std::string_view line, GrowBuffer& buf, const PfieldArray& fields,
                      const PickTable& table, int depth) {
  line = line.substr(0, line.find('\n'));
  std::optional<std::string> var =
      depth < kMaxPicklistNesting ? controlling_variable(line) : std::nullopt;
  if (!var) return copy_line(line, buf);
  auto lists = get_values(*var, fields, table);
  if (!lists) return copy_line(line, buf);

  // One branch per distinct value that may be spliced into the line.
  std::vector<const std::string*> branches;
  std::unordered_set<std::string_view> seen;
  for (const auto& list : *lists)
    for (const std::string& v : list)
      if (safe_picklist_value(v) && seen.insert(v).second) branches.push_back(&v);
  // Without a branch the block would hold only its else part.
  if (branches.empty()) return copy_line(line, buf);

  std::string substituted;
  for (std::size_t i = 0; i < branches.size(); ++i) {
    const std::string& value = *branches[i];
    if (!add2buffer(buf, format("%sif equals \"$%s\" \"%s\"\n", i == 0 ? "" : "el", var->c_str(),
                                value.c_str())))
      return 0;
    replace_var(line, 0, substituted, *var, value);
    if (!expand_oneof_line(substituted, buf, fields, table, depth + 1)) return 0;
  }
  return add2buffer(buf, "else\n oneof \"<No Options>\"\n") && add2buffer(buf, "fi\n");
}

std::optional<std::string> expand_oneof_expr(std::optional<std::string_view> text,
                                             const PfieldArray& fields, const PickTable& table) {
  if (!text) return std::nullopt;
  GrowBuffer buf;
  buf.limit = kMaxPicklistRewrite;
  for (std::size_t pos = skip_space(*text, 0); pos != npos; pos = next_line(*text, pos)) {
    std::string_view line = text->substr(pos);
    int ok = picklist_kind(line) != PL_FREE ? expand_oneof_line(line, buf, fields, table)
                                            : copy_line(line, buf);
    if (!ok) return std::nullopt;
  }
  return std::move(buf.data);
}

void pl_expand_oneofs(PfieldArray* fields, const PickTable& table) {
  if (fields == nullptr) return;
  for (pfield& f : *fields) {
    if (f.type == FT_END) break;
    if (!is_picklist_type(f.type)) continue;
    if (auto text = expand_oneof_expr(f.picklist, *fields, table)) f.picklist = std::move(text);
  }
}

std::optional<PickTable> pl_load_oneofs(PfieldArray* fields, const char* klass,
                                        std::string_view oneof_path) {
  if (fields == nullptr || klass == nullptr) return std::nullopt;
  const std::string& home = gethomedir();
  std::optional<PickTable> table;

  const std::string project_line = format("oneof -f %s/etc/oneofs/%s.C", home.c_str(), klass);
  const std::string project_file = *get_oneof_name(project_line);
  load_oneof(project_line, table, oneof_path);
  table->entries[which_oneof(*table, project_file)].name = kProjectPicklist;

  const std::string rc = home + "/etc/plixrc";
  std::optional<std::string> closed = dgbfindstring(rc.c_str(), "View-closed-projects");
  if (closed && !closed->empty() && (closed->front() == 'Y' || closed->front() == 'y')) {
    std::string lines = format("oneof -f %s/etc/oneofs/%s.C\noneof -f %s/etc/oneofs/%s.CX",
                               home.c_str(), klass, home.c_str(), klass);
    std::size_t slot = 0;
    pl_merge_oneofs(table, lines, oneof_path, &slot);
    // Named even when empty, so that no file of that name is looked for later.
    table->entries[slot].name = kProjectQueryPicklist;
  } else {
    // The first entry no longer carries the file name: this makes a second one.
    load_oneof(project_line, table, oneof_path);
    table->entries[which_oneof(*table, project_file)].name = kProjectQueryPicklist;
  }

  for (pfield& f : *fields) {
    if (f.type == FT_END) break;
    if (!is_picklist_type(f.type)) continue;
    if (auto text = expand_oneof_expr(f.picklist, *fields, *table)) f.picklist = std::move(text);
    // A failed rewrite keeps the old text; its lists are loaded all the same.
    if (!f.picklist) continue;
    const std::string& text = *f.picklist;
    for_each_filter(text, own_word(f.type), [&](std::size_t at) {
      load_oneof(std::string_view(text).substr(at), table, oneof_path);
    });
  }
  return table;
}

}  // namespace plix

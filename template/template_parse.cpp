#include "template/template_parse.h"

#include <vector>

#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "template/logic_copy.h"
#include "template/parse_steps.h"
#include "template/prompts.h"
#include "template/reduce.h"
#include "template/standardize.h"
#include "template/text_ops.h"
#include "util/file_access.h"

namespace plix {

namespace {

enum class Flow { kGoOn, kSkip, kAbort, kReturn, kGoto };

void add_state(pfield& f, char s) {
  if (f.states)
    *f.states += s;
  else
    f.states = std::string(1, s);
}

bool has_flow_lines(const std::string& text) {
  for (std::string_view w : {"goto", "skip", "return", "abort"})
    if (next_filter(text, 0, w) != npos) return true;
  return false;
}

// What the field's reduced flow logic (`flow`, its flow lines) decides for
// one state; `target` gets a goto's destination.
Flow decide_flow(const pfield& f, const std::string& flow, char s, char op,
                 const FieldTable* current, std::string& target) {
  std::optional<std::string> reduced =
      reduce_logic(flow, s, op, nullptr, nullptr, current, std::string_view(f.name));
  const std::string& text = reduced ? *reduced : flow;
  for (std::size_t line = 0; line != npos && line < text.size(); line = after_line(text, line)) {
    std::size_t at = line_content(text, line);
    if (at == npos) break;
    if (filter_is("if", text, at)) return Flow::kGoOn;
    if (filter_is("skip", text, at)) return Flow::kSkip;
    if (filter_is("abort", text, at)) return Flow::kAbort;
    if (filter_is("return", text, at)) return Flow::kReturn;
    if (filter_is("goto", text, at)) {
      std::size_t t = next_token(text, at);
      target = t == npos ? std::string() : token_at(text, t);
      return Flow::kGoto;
    }
  }
  return Flow::kGoOn;
}

// The index of the first descriptor from `from` on named exactly `name`, or npos.
std::size_t find_from(const PfieldArray& fields, std::size_t from, std::string_view name) {
  for (std::size_t j = from; j < fields.size() && fields[j].type != FT_END; ++j)
    if (fields[j].name == name) return j;
  return npos;
}

}  // namespace

std::optional<PfieldArray> pload_template(std::optional<std::string_view> path) {
  if (!path || plix_access(std::string(*path), 0) != 0) return std::nullopt;
  dfile_state().Load_related_files = true;
  FieldTable table(kTableSlots);
  if (appendtable(std::string(*path), table) != 0) return std::nullopt;
  PfieldArray fields;
  fields.reserve(table.size() + 1);
  std::string text;
  for (const auto& e : table.entries()) {
    std::optional<std::string> derivation;
    if (e->value && standardize_derivation(*e->value, text) >= 0) derivation = text;
    fields.push_back(make_pfield(e->name, std::move(derivation)));
  }
  fields.push_back(make_end_marker());
  return fields;
}

int parse_states(PfieldArray* fields, std::optional<std::string_view> states, char op,
                 const FieldTable* current) {
  if (fields == nullptr || !states) {
    pl_set_error("NULL passed to parse_states");
    return -1;
  }
  std::size_t count = fields->empty() ? 0 : fields->size() - 1;
  // A field's flow lines are the same in every state: found once.
  std::vector<std::optional<std::string>> flows(count);
  std::vector<bool> looked(count, false);
  for (char s : *states) {
    std::size_t i = 0;
    while (i < count) {
      pfield& f = (*fields)[i];
      add_state(f, s);
      if (!looked[i]) {
        looked[i] = true;
        if (op != 'q' && f.derivation && has_flow_lines(*f.derivation)) {
          flows[i].emplace();
          copy_logic(f, *flows[i], kCopyFlow);
        }
      }
      if (!flows[i]) {
        ++i;
        continue;
      }
      std::string target;
      Flow flow = decide_flow(f, *flows[i], s, op, current, target);
      if (flow == Flow::kGoOn) {
        ++i;
      } else if (flow == Flow::kSkip) {
        f.type = FT_SKIP;
        ++i;
      } else if (flow == Flow::kAbort) {
        f.type = FT_SKIP;
        pl_set_error("Template aborted in field %s with derivation:\n%s", f.name.c_str(),
                     f.derivation->c_str());
        return -1;
      } else if (flow == Flow::kReturn) {
        break;
      } else {
        f.type = FT_SKIP;
        if (target.empty()) {
          ++i;
          continue;
        }
        std::size_t j = find_from(*fields, i, target);
        // A goto to itself would walk forever; a missing target ends the walk too.
        if (j == npos || j == i) break;
        i = j;
      }
    }
  }
  return 0;
}

std::optional<PfieldArray> pl_parse_template(std::optional<std::string_view> path,
                                             std::optional<std::string_view> states, char op,
                                             const FieldTable* fallback,
                                             const FieldTable* current) {
  if (!path) {
    pl_set_error("Null filename passed to pl_parse_template.");
    return std::nullopt;
  }
  std::optional<PfieldArray> fields = pload_template(path);
  if (!fields) {
    pl_set_error("Error loading file %.*s", static_cast<int>(path->size()), path->data());
    return std::nullopt;
  }
  if (parse_states(&*fields, states, op, current) != 0) return std::nullopt;
  pstrip_logic(*fields, op, fallback, current);
  parse_enclosures(*fields);
  parse_prompts(*fields);
  parse_defaults(*fields);
  parse_validation(*fields);
  return fields;
}

std::optional<std::string> pl_get_path(int kind, const PfieldArray* fields,
                                       std::string_view klass) {
  static constexpr struct {
    std::string_view key;
    const char* fallback;
  } kPaths[] = {
      {"Help-path", "class/%s/helps"},
      {"Oneof-path", "class/%s/oneofs"},
      {"Filter-path", "/usr/bin:/bin:/usr/ucb"},
  };
  if (kind < 0 || kind > 2) return std::nullopt;
  const auto& p = kPaths[kind];
  const pfield* begin = nullptr;
  if (fields)
    for (const auto& f : *fields) {
      if (f.type == FT_END) break;
      if (f.name == "Begin") {
        begin = &f;
        break;
      }
    }
  if (begin && begin->derivation) {
    const std::string& text = *begin->derivation;
    for (std::size_t at = next_filter(text, 0, "set"); at != npos;
         at = next_filter(text, after_line(text, at) == npos ? text.size() : after_line(text, at),
                          "set")) {
      std::size_t name = next_token(text, at);
      if (name == npos) continue;
      if (text.compare(name, p.key.size(), p.key) != 0) continue;
      std::size_t value = next_token(text, name);
      std::string out;
      if (value != npos) replace_var(text, value, out, "Class", klass);
      return out;
    }
  }
  std::string def = p.fallback;
  std::size_t at = def.find("%s");
  if (at != std::string::npos) def.replace(at, 2, klass);
  return def;
}

}  // namespace plix

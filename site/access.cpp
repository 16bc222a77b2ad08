#include "site/layout.h"
#include "site/access.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <vector>

#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "site/home.h"
#include "site/identifiers.h"
#include "site/site_identity.h"
#include "site/states.h"
#include "site/web_user.h"
#include "util/file_access.h"
#include "util/messages.h"
#include "util/strarray.h"

namespace plix {

namespace {

constexpr std::string_view kWordSeparators = " \t";
// Members in conf/groups; a value continued on further lines holds newlines.
constexpr std::string_view kMemberSeparators = " \t,\n";

void append_word(std::string& out, std::string_view piece) {
  if (piece.empty()) return;
  if (!out.empty()) out += ' ';
  out += piece;
}

bool lists(std::string_view words, std::string_view name, std::string_view separators) {
  StrArray list = strarray_create(words, separators);
  return std::find(list.begin(), list.end(), name) != list.end();
}

// Loads a file below the home into t when it exists and is readable, so
// that a missing file is quietly empty.
bool load_home_file(const std::string& path, FieldTable& t) {
  return plix_access(path, 4) == 0 && loadtable(path, t) == 0;
}

// Expansion of variable references. Instead of copying the rules without
// the entry being expanded at each level, entries are masked while their
// own expansion runs; a lookup sees exactly what that copy would hold.
class Expander {
 public:
  Expander(const FieldTable* record, const FieldTable& rules)
      : record_(record), rules_(rules), masked_(rules.size(), false) {}

  void run(std::string_view text, std::string& out) {
    for (const std::string& word : strarray_create(text, kWordSeparators)) {
      if (budget_ == 0) {
        if (!exhausted_) warn("Variable expansion stopped after %zu words\n", kMaxExpansionWords);
        exhausted_ = true;
        return;
      }
      --budget_;
      if (word.front() != '$') {
        append_word(out, word);
        continue;
      }
      std::string_view name = std::string_view(word).substr(1);
      if (record_ != nullptr) {
        std::size_t at = findfield(name, *record_);
        if (at < record_->size()) {
          const auto& value = (*record_)[at].value;
          if (value) append_word(out, *value);
          continue;
        }
      }
      std::size_t at = find_rule(name);
      if (at == rules_.size()) continue;
      const auto& value = rules_[at].value;
      if (!value) continue;
      masked_[at] = true;
      run(*value, out);
      masked_[at] = false;
    }
  }

 private:
  std::size_t find_rule(std::string_view name) const {
    for (std::size_t i = 0; i < rules_.size(); ++i)
      if (!masked_[i] && fname_eq(rules_[i].name, name)) return i;
    return rules_.size();
  }

  const FieldTable* record_;
  const FieldTable& rules_;
  std::vector<bool> masked_;
  std::size_t budget_ = kMaxExpansionWords;
  bool exhausted_ = false;
};

// The expanded rule entry `name`; nullopt when absent or empty.
std::optional<std::string> expanded_rule(const std::string& name, const FieldTable* record,
                                         const FieldTable& rules) {
  const std::string* value = fieldvalue(name, rules);
  if (value == nullptr) return std::nullopt;
  return expand_variables(*value, record, rules);
}

// Loads the project's rules into the cache: the answer to give at once
// (0 or 1) when the rules decide nothing, or nullopt to go on with them.
std::optional<int> load_rules(std::string_view project) {
  AccessState& st = access_state();
  freefields(st.rules);
  st.rules_project.reset();
  bool loaded = false;
  // An invalid project name is no project file: it reads as unreadable.
  if (valid_project_name(project)) {
    std::string path = proj_control_path(project);
    loaded = load_home_file(path, st.rules);
  }
  if (!loaded) {
    freefields(st.rules);
    return isremote(project) != 0 ? remote_modify_ok(project) : 0;
  }
  if (isremote(project) != 0 && remote_modify_ok(project) == 0) {
    freefields(st.rules);
    return 0;
  }
  st.rules_project = std::string(project);
  return std::nullopt;
}

struct TokenLookup {
  std::optional<std::string> value;
  bool too_large = false;
};

TokenLookup find_token(const std::string& path, std::string_view name) {
  TokenLookup r;
  r.value = dgbfindstring(path.c_str(), name);
  if (!r.value) r.too_large = dfile_state().dgbfindflag == kDfileNoRoom;
  return r;
}

// Project information table of ok2fwd, or nullopt.
std::optional<std::string> project_owner(std::string_view project) {
  if (!valid_project_name(project)) return std::nullopt;
  FieldTable info(kProjectTableSlots);
  if (!load_home_file(proj_info_path(project), info))
    return std::nullopt;
  const std::string* owner = fieldvalue("Path-to-owner", info);
  if (owner == nullptr || owner->empty()) return std::nullopt;
  return *owner;
}

}  // namespace

AccessState& access_state() {
  static AccessState* state = new AccessState;
  return *state;
}

void reset_access_state() {
  access_state() = AccessState{};
}

std::string plix_getgroups(std::string_view user) {
  std::string out;
  if (user.empty()) return out;
  FieldTable groups;
  if (load_home_file(home_file(kGroupsFile), groups)) {
    for (const auto& g : groups.entries())
      if (g->value && lists(*g->value, user, kMemberSeparators)) append_word(out, g->name);
  }
  std::string name(user);
  // A name holding a NUL would be looked up cut short, as somebody else.
  if (name.find('\0') != std::string::npos) return out;
  if (const struct passwd* pw = ::getpwnam(name.c_str())) {
    if (const struct group* gr = ::getgrgid(pw->pw_gid)) append_word(out, gr->gr_name);
  }
  ::setgrent();
  while (const struct group* gr = ::getgrent()) {
    for (char** m = gr->gr_mem; m != nullptr && *m != nullptr; ++m) {
      if (name == *m) {
        append_word(out, gr->gr_name);
        break;
      }
    }
  }
  ::endgrent();
  return out;
}

std::optional<std::string> expand_variables(std::string_view text, const FieldTable* record,
                                            const FieldTable& rules) {
  std::string out;
  out.reserve(2 * text.size());
  Expander(record, rules).run(text, out);
  if (strarray_create(out, kWordSeparators).empty()) return std::nullopt;
  return out;
}

int state_access_ok(char state, std::string_view project, const FieldTable* record) {
  AccessState& st = access_state();
  auto user = ruserid();
  if (!user) {
    warn("Your user ID number does not have a name...");
    return 0;
  }
  if (!st.groups) st.groups = plix_getgroups(*user);
  if (isplix()) return 1;
  if (!st.rules_project || *st.rules_project != project) {
    if (auto answer = load_rules(project)) return *answer;
  }
  std::string letter(1, state);
  auto allow = expanded_rule(letter + "-allow", record, st.rules);
  auto allow_group = expanded_rule(letter + "-allow-group", record, st.rules);
  if (!allow && !allow_group) return 1;
  if (allow && lists(*allow, *user, kWordSeparators)) return 1;
  if (allow_group) {
    for (const std::string& g : strarray_create(*st.groups, kWordSeparators))
      if (lists(*allow_group, g, kWordSeparators)) return 1;
  }
  return 0;
}

std::string getsectoken(std::string_view user) {
  std::string path = home_file(kSecurityFile);
  TokenLookup token = find_token(path, user);
  // A user whose own entry is too large gets no token, never OTHER's.
  if (!token.value && !token.too_large) token = find_token(path, kOtherToken);
  if (token.too_large || (token.value && token.value->size() > kMaxSecurityToken)) {
    warn("Security token for %.*s too large!\n", static_cast<int>(user.size()), user.data());
    return "";
  }
  return token.value ? *token.value : "";
}

int ok2fwd(std::string_view project, std::string_view target, std::string_view forward_target,
           std::string_view state) {
  std::string_view other = (!state.empty() && state.front() == 'F') ? forward_target : target;
  if (project.empty() || other.empty() || state.empty()) return 0;
  if (project == other) return 1;
  auto owner = project_owner(project);
  auto other_owner = project_owner(other);
  if (!owner || !other_owner) return 0;
  auto me = getmachid();
  if (!me) return 0;
  return owner->compare(0, kMachineIdLen, *me) == 0 || *owner == *other_owner ? 1 : 0;
}

}  // namespace plix

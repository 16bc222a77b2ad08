#include "site/states.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "recstore/record_file.h"
#include "util/unique_file.h"
#include "site/access.h"
#include "site/home.h"
#include "site/identifiers.h"
#include "site/layout.h"
#include "site/site_identity.h"
#include "util/files.h"
#include "util/messages.h"
#include "util/read_file.h"
#include "util/strarray.h"

namespace plix {

namespace {

// Names in the class directory that are not classes.
constexpr const char* kNotClasses[] = {"README", "RCS", "SCCS"};

bool blank(int c) {
  return c == ' ' || c == '\t';
}

// One token as the statenames scan sees it: its length and first byte.
// Only one-character tokens are valid, so longer ones are measured, not kept.
struct Token {
  std::size_t len = 0;
  char first = 0;
};

// Reads a token of non-white-space bytes, the next byte being non-white.
Token read_token(std::FILE* fp) {
  Token t;
  int c;
  while ((c = std::getc(fp)) != EOF && !std::isspace(c)) {
    if (t.len++ == 0) t.first = static_cast<char>(c);
  }
  if (c != EOF) std::ungetc(c, fp);
  return t;
}

// Skips white space (newlines included): false at end of file.
bool skip_space(std::FILE* fp) {
  int c;
  while ((c = std::getc(fp)) != EOF && std::isspace(c)) {
  }
  if (c == EOF) return false;
  std::ungetc(c, fp);
  return true;
}

// Skips a run of blanks and tabs: false when there was none.
bool skip_blanks(std::FILE* fp) {
  int c = std::getc(fp);
  if (!blank(c)) {
    if (c != EOF) std::ungetc(c, fp);
    return false;
  }
  while (blank(c = std::getc(fp))) {
  }
  if (c != EOF) std::ungetc(c, fp);
  return true;
}

// One line of a statenames file, read as the scan format
// "%s%*[ \t]%s%*[ \t]%*[^\n]\n" reads it: the number of tokens found (0 at
// end of file). The two tokens must be separated by blanks or tabs; the
// rest of the line after the second token is passed over.
int scan_state_line(std::FILE* fp, Token& state, Token& category) {
  if (!skip_space(fp)) return 0;
  state = read_token(fp);
  if (!skip_blanks(fp)) return 1;
  if (!skip_space(fp)) return 1;
  category = read_token(fp);
  if (!skip_blanks(fp)) return 2;
  int c = std::getc(fp);
  if (c == '\n' || c == EOF) {
    if (c != EOF) std::ungetc(c, fp);
    return 2;
  }
  while ((c = std::getc(fp)) != EOF && c != '\n') {
  }
  if (c != EOF) skip_space(fp);
  return 2;
}

// A state or category letter: one byte, and not NUL, which would end the
// letter lists for every C-style reader of them.
bool letter_ok(const Token& t) {
  return t.len == 1 && t.first != '\0';
}

std::optional<ClassStates> read_statenames(std::string_view cls) {
  std::string path = class_path(cls, kStatenamesFile);
  UniqueFile fp = fopen_for_reading(path, kMaxReadFileSize);
  if (!fp) {
    if (errno == ENOENT)
      warn("Missing statenames file in class: %.*s\n", static_cast<int>(cls.size()), cls.data());
    else
      warn("%s: %s\n", path.c_str(), std::strerror(errno));
    return std::nullopt;
  }
  ClassStates cs;
  cs.name = std::string(cls);
  int line = 0;
  Token state, category;
  while (scan_state_line(fp.get(), state, category) == 2) {
    ++line;
    if (!letter_ok(state) || !letter_ok(category)) {
      warn("%s: invalid format on line %d\n", path.c_str(), line);
      return std::nullopt;
    }
    if (cs.states.size() == kMaxStates) {
      warn("%s: too many states (more than %zu)", path.c_str(), kMaxStates);
      return std::nullopt;
    }
    cs.states += state.first;
    cs.categories += category.first;
    ++cs.count;
  }
  return cs;
}

// The class named by a project's information record, or nullopt after the
// warning that sends the project to the default class.
std::optional<std::string> read_project_class(std::string_view project) {
  ProjectClass pc = lookup_project_class(project);
  switch (pc.status) {
    case ProjectClass::kFound:
      // The class becomes a directory name: it must not lead out of class/.
      if (valid_class_name(pc.klass)) return pc.klass;
      warn("ERROR: %s: %s", pc.path.c_str(), std::strerror(EINVAL));
      return std::nullopt;
    case ProjectClass::kNoField:
      warn("ERROR: No %s field in %s", "Class", pc.path.c_str());
      return std::nullopt;
    default:
      warn("ERROR: %s: %s", pc.path.c_str(), std::strerror(pc.err));
      return std::nullopt;
  }
}

// The path `file` of the project's class directory, remembered per project.
const std::string& remembered_path(std::optional<std::string>& project_slot,
                                   std::optional<std::string>& path_slot, std::string_view project,
                                   const char* file) {
  if (!project_slot || *project_slot != project || !path_slot) {
    std::string cls = projclass(project);
    if (site_state().Rootdir.empty()) site_state().Rootdir = getroot();
    path_slot = class_path(cls, file);
    project_slot = std::string(project);
  }
  return *path_slot;
}

// Position of a letter in Statelist, appending it when new.
std::size_t statelist_slot(std::string& list, char letter) {
  int at = statenum(letter, list);
  if (at >= 0) return static_cast<std::size_t>(at);
  list += letter;
  return list.size() - 1;
}

// Reads one "from to next" entry: false when it is not three letters.
bool read_entry(std::FILE* fp, char (&e)[3]) {
  for (int i = 0; i < 3; ++i) {
    if (i > 0) skip_space(fp);
    int c = std::getc(fp);
    if (c == EOF || c == '\0') return false;
    e[i] = static_cast<char>(c);
  }
  return true;
}

// Letters of the entry not yet in the list.
std::size_t new_letters(const std::string& list, const char (&e)[3]) {
  std::string fresh;
  for (char c : e)
    if (statenum(c, list) < 0 && statenum(c, fresh) < 0) fresh += c;
  return fresh.size();
}

}  // namespace

ProjectClass lookup_project_class(std::string_view project) {
  ProjectClass pc;
  pc.path = proj_info_path(project);
  if (!valid_project_name(project)) {
    pc.status = ProjectClass::kBadName;
    pc.err = EINVAL;
    return pc;
  }
  errno = 0;
  auto rec = dgbfindrec(pc.path.c_str(), "Class", kClassLookupArea);
  if (!rec || rec->block.value == nullptr) {
    bool absent = dfile_state().dgbfindflag == kDfileNotFound;
    pc.status = absent ? ProjectClass::kNoField : ProjectClass::kUnreadable;
    pc.err = errno != 0 ? errno : ENOENT;
    return pc;
  }
  std::string_view v = rec->block.value;
  std::size_t start = v.find_first_not_of(" \t\n");
  // A Class field without a word names no class at all.
  if (start == std::string_view::npos) {
    pc.status = ProjectClass::kNoField;
    return pc;
  }
  std::size_t end = v.find_first_of(" \t\n", start);
  std::string_view word = v.substr(start, end == std::string_view::npos ? end : end - start);
  pc.klass = std::string(word.substr(0, kMaxNameLength));
  pc.status = ProjectClass::kFound;
  return pc;
}

StatesState& states_state() {
  static StatesState* state = new StatesState;
  return *state;
}

void reset_states_state() {
  states_state() = StatesState{};
}

int getclassid(std::string_view cls) {
  const auto& classes = states_state().classes;
  for (std::size_t i = 0; i < classes.size(); ++i)
    if (classes[i]->name == cls) return static_cast<int>(i);
  return -1;
}

const ClassStates* load_class_states(std::string_view cls) {
  StatesState& st = states_state();
  int id = getclassid(cls);
  if (id >= 0) return st.classes[static_cast<std::size_t>(id)].get();
  if (!valid_class_name(cls)) {
    warn("Missing statenames file in class: %.*s\n", static_cast<int>(cls.size()), cls.data());
    return nullptr;
  }
  auto cs = read_statenames(cls);
  if (!cs) return nullptr;
  st.classes.push_back(std::make_unique<ClassStates>(std::move(*cs)));
  return st.classes.back().get();
}

bool selectstates(std::string_view cls, std::optional<std::string_view> filter, std::string& out,
                  bool append) {
  if (!append) out.clear();
  const ClassStates* cs = load_class_states(cls);
  if (cs == nullptr) return false;
  if (!filter && out.empty()) {
    out = cs->states;
    return true;
  }
  const bool had_letters = !out.empty();
  for (std::size_t i = 0; i < cs->states.size(); ++i) {
    if (filter && filter->find(cs->categories[i]) == std::string_view::npos) continue;
    if (had_letters && out.find(cs->states[i]) != std::string::npos) continue;
    out += cs->states[i];
  }
  return true;
}

std::string projclass(std::string_view project) {
  StatesState& st = states_state();
  if (st.class_project && *st.class_project == project && st.class_name) return *st.class_name;
  site_state().Rootdir = getroot();
  auto cls = read_project_class(project);
  st.class_project = std::string(project);
  st.class_name = cls ? *cls : std::string(kDefaultClass);
  return *st.class_name;
}

std::optional<std::string> projstates(std::string_view project) {
  StatesState& st = states_state();
  if (st.projstates_project && *st.projstates_project == project && st.projstates_result)
    return st.projstates_result;
  std::string out;
  if (!selectstates(projclass(project), std::nullopt, out, false)) return std::nullopt;
  st.projstates_project = std::string(project);
  st.projstates_result = out;
  return out;
}

std::string classdir(std::string_view project) {
  StatesState& st = states_state();
  return remembered_path(st.classdir_project, st.classdir_path, project, "");
}

std::string statenamesfile(std::string_view project) {
  StatesState& st = states_state();
  return remembered_path(st.statenames_project, st.statenames_path, project, "statenames");
}

std::string statesfile(std::string_view project) {
  StatesState& st = states_state();
  return remembered_path(st.states_project, st.states_path, project, "states");
}

void clear_state_table() {
  StatesState& st = states_state();
  st.Statelist.clear();
  st.Transition = {};
  st.loaded_path.reset();
  st.states_project.reset();
  st.states_path.reset();
}

bool load_state_table(std::string_view project, bool reset) {
  StatesState& st = states_state();
  std::string path = statesfile(project);
  if (st.loaded_path && *st.loaded_path == path) return true;
  UniqueFile fp = fopen_for_reading(path, kMaxReadFileSize);
  if (!fp) {
    warn("%s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  if (reset) clear_state_table();
  int entries = 0;
  while (skip(fp.get()) == 1) {
    char e[3];
    // A table past 30 letters cannot be indexed; it is refused like a
    // malformed one.
    if (!read_entry(fp.get(), e) ||
        st.Statelist.size() + new_letters(st.Statelist, e) > kMaxRoutedStates) {
      warn("%s: badly formatted state table\n", path.c_str());
      return entries > 0;
    }
    std::size_t from = statelist_slot(st.Statelist, e[0]);
    std::size_t to = statelist_slot(st.Statelist, e[1]);
    statelist_slot(st.Statelist, e[2]);
    st.Transition[from][to] = e[2];
    ++entries;
  }
  st.loaded_path = path;
  return true;
}

bool loadstates(std::string_view project) {
  return load_state_table(project, true);
}

bool allstates(std::string& out) {
  site_state().Rootdir = getroot();
  std::string path = home_file(kClassDir);
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) {
    warn("allstates: %s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  std::vector<std::string> names;
  while (const struct dirent* d = ::readdir(dir)) {
    std::string_view name = d->d_name;
    if (name.empty() || name.front() == '.') continue;
    if (std::find(std::begin(kNotClasses), std::end(kNotClasses), name) != std::end(kNotClasses))
      continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  // Directory order differs between file systems; sorted, the answer does not.
  std::sort(names.begin(), names.end());
  clear_state_table();
  std::string letters;
  for (const auto& name : names) selectstates(name, std::nullopt, letters, true);
  clear_state_table();
  out = letters;
  return true;
}

int statenum(char letter, std::string_view list) {
  std::size_t at = list.find(letter);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

char nextstate(char from, char to) {
  const StatesState& st = states_state();
  int i = statenum(from, st.Statelist);
  int j = statenum(to, st.Statelist);
  if (i < 0 || j < 0) return 0;
  return st.Transition[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

int valid_transition(std::string_view project, char from, char to, bool same_ok, bool start_ok,
                     const FieldTable* record) {
  if (isplix()) return 1;
  if (scopecheck(project) != 0) return 0;
  if ((from == 'S' || from == 'F') && !(same_ok && start_ok)) return 0;
  loadstates(project);
  // A route without repeats visits each letter of the table at most once;
  // more steps mean the table routes in a circle.
  const std::size_t max_steps = states_state().Statelist.size() + 1;
  char state = from;
  for (std::size_t step = 0; step < max_steps; ++step) {
    char next = nextstate(state, to);
    if (next == 0) {
      if (!(same_ok && from == to)) return 0;
      next = to;
    }
    if (state_access_ok(next, project, record) == 0) return 0;
    if (next == to) return 1;
    state = next;
  }
  return 0;
}

int remote_modify_ok(std::string_view project) {
  StatesState& st = states_state();
  if (project.empty()) return 0;
  if (st.remote_project && *st.remote_project == project) return st.remote_answer;
  if (site_state().Rootdir.empty()) site_state().Rootdir = getroot();
  std::optional<std::string> machid = getmachid();
  if (!machid) return 0;
  st.remote_project = std::string(project);
  st.remote_answer = 0;
  // A name that cannot be a project file allows nothing.
  if (!valid_project_name(project)) return 0;
  std::string path = proj_info_path(project);
  auto value = dgbfindstring(path.c_str(), "Remote-mod-ok");
  if (!value) return 0;
  StrArray words = strarray_create(*value, " \t\n");
  bool listed = words.empty() ? *value == *machid
                              : std::find(words.begin(), words.end(), *machid) != words.end();
  st.remote_answer = listed ? 1 : 0;
  return st.remote_answer;
}

}  // namespace plix

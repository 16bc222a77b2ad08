#include "layoutgen/form_setup.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "layoutgen/default_values.h"
#include "layoutgen/exit_status.h"
#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "site/home.h"
#include "site/identifiers.h"
#include "site/layout.h"
#include "site/startup.h"
#include "site/states.h"
#include "template/picklist_expand.h"
#include "template/template_parse.h"
#include "util/messages.h"
#include "util/read_file.h"

namespace plix {

namespace {

// The project name and class local_projclass answered last.
struct ProjclassMemory {
  std::string project;
  std::string klass;
};

ProjclassMemory& projclass_memory() {
  static ProjclassMemory* m = new ProjclassMemory;
  return *m;
}

[[noreturn]] void bad_project(std::string_view project, const std::string& path, int err) {
  warn("Bad project '%.*s' in defect\n", static_cast<int>(project.size()), project.data());
  warn("ERROR: %s: %s\n", path.c_str(), std::strerror(err));
  std::exit(kExitUsage);
}

bool has_letter(std::string_view list, char c) { return list.find(c) != std::string_view::npos; }

// Steps 5 and 6: the class, the project and the record.
int resolve_class(LayoutgenRun& run, const char* prog) {
  const LayoutgenOptions& o = run.opts;
  if (o.project) {
    run.project = *o.project;
    run.klass = local_projclass(*o.project);
  }
  if (run.klass.empty() && !o.klass) {
    if (!o.id) usage_exit(prog);
    if (valid_record_id(*o.id)) run.bug_record = load_record(*o.id);
    if (!run.bug_record) {
      warn("Invalid record id: %s\n", o.id->c_str());
      return kExitUnusable;
    }
    const std::string* project = fieldvalue("Project", *run.bug_record);
    if (!project) {
      warn("Can't get Project from record id: %s\n", o.id->c_str());
      return kExitUnusable;
    }
    run.project = *project;
    run.klass = local_projclass(*project);
  } else if (run.klass.empty()) {
    run.klass = *o.klass;
  }
  if (!valid_class_name(run.klass)) {
    warn("Bad class name: %s\n", run.klass.c_str());
    return kExitUsage;
  }
  addfield("Class", run.klass, run.static_fields);
  if (run.project) addfield("Project", *run.project, run.static_fields);
  run.proj_field = init_project(run.klass, run.action->query_form);
  return -1;
}

// Steps 7 and 8: the states the parse covers.
int resolve_states(LayoutgenRun& run) {
  Action a = run.action->action;
  std::optional<std::string> list;
  const std::string* status = run.bug_record ? fieldvalue("Status", *run.bug_record) : nullptr;
  if ((a == Action::kModify || a == Action::kDisplay) && status)
    list = status->substr(0, kMaxStates);
  if (a == Action::kSubmit || a == Action::kClone) list.emplace(1, 'S');
  if (!list) {
    std::string all;
    if (!selectstates(run.klass, std::nullopt, all, false)) {
      warn("Bad class name: %s\n", run.klass.c_str());
      return kExitUsage;
    }
    list = all.substr(0, kMaxStates);
  }
  run.states = *list;
  if (a != Action::kTransition) return -1;

  const std::string& id = *run.opts.id;
  if (!status || status->empty()) {
    warn("Bad record %s: No Status field.\n", id.c_str());
    return kExitUnusable;
  }
  char current = (*status)[0];
  char target = (*run.opts.state)[0];
  if (!has_letter(run.states, current)) {
    warn("Bad record %s: Invalid status field.\n", id.c_str());
    return kExitUnusable;
  }
  if (!has_letter(run.states, target)) {
    warn("Invalid state to transition to: %s.\n", run.opts.state->c_str());
    return kExitUnusable;
  }
  // A table that cannot be read routes nowhere: that is no form to offer
  // (the loader has said why).
  if (!loadstates(*run.project)) return kExitUnusable;
  std::string path;
  for (char letter = current;;) {
    letter = nextstate(letter, target);
    if (letter == 0) break;
    // A routing table that circles without reaching the target is unusable.
    if (path.size() == kMaxStates) {
      warn("Invalid state to transition to: %s.\n", run.opts.state->c_str());
      return kExitUnusable;
    }
    path += letter;
    if (letter == target) break;
  }
  run.states = path;
  return -1;
}

// Step 9: the template parse for the action.
int parse_form_template(LayoutgenRun& run) {
  run.template_path = class_path(run.klass, run.template_file);
  if (!open_for_reading(run.template_path, kMaxReadFileSize)) {
    warn("Can not open file \"%s\": errno = %d\n", run.template_path.c_str(), errno);
    return kExitNoTemplate;
  }
  std::optional<PfieldArray> fields;
  const std::string& path = run.template_path;
  switch (run.action->action) {
    case Action::kDisplay:
      fields = pl_parse_template(path, run.states, 'v', nullptr, run.bug_record.get());
      break;
    case Action::kQuery:
    case Action::kConvert:
      fields = pl_parse_template(path, "S", 'q', run.bug_record.get(), nullptr);
      break;
    default:
      fields = pl_parse_template(path, run.states, run.action->mode, run.bug_record.get(),
                                 &run.static_fields);
      break;
  }
  if (!fields) {
    warn("%s\n", pl_get_error().c_str());
    return kExitUsage;
  }
  run.fields = std::move(*fields);
  return -1;
}

// Step 10: search paths and picklists.
int load_paths(LayoutgenRun& run) {
  static constexpr struct {
    int kind;
    const char* message;
  } kPaths[] = {
      {kHelpPath, "Invalid help path in %s/%s.\n"},
      {kFilterPath, "Invalid filter path in %s/%s.\n"},
      {kOneofPath, "Invalid oneof path in %s/%s.\n"},
  };
  std::string* targets[] = {&run.help_path, &run.filter_path, &run.oneof_path};
  for (int i = 0; i < 3; ++i) {
    std::optional<std::string> p = pl_get_path(kPaths[i].kind, &run.fields, run.klass);
    if (!p) {
      warn(kPaths[i].message, run.klass.c_str(), run.template_file.c_str());
      return kExitUnusable;
    }
    *targets[i] = std::move(*p);
  }
  default_value_state().oneof_path = run.oneof_path;
  default_value_state().filter_path = run.filter_path;
  run.oneofs = pl_load_oneofs(&run.fields, run.klass.c_str(), run.oneof_path);
  return -1;
}

}  // namespace

std::string local_projclass(std::string_view project) {
  ProjclassMemory& m = projclass_memory();
  if (!m.project.empty() && m.project == project) return m.klass;
  m.project.clear();
  site_state().Rootdir = getroot();
  ProjectClass pc = lookup_project_class(project);
  if (pc.status == ProjectClass::kNoField) {
    warn("ERROR: No %s field in %s", "Class", pc.path.c_str());
    std::exit(kExitUsage);
  }
  if (pc.status != ProjectClass::kFound) bad_project(project, pc.path, pc.err);
  m.project = std::string(project);
  m.klass = pc.klass;
  return pc.klass;
}

pfield init_project(std::string_view /*klass*/, bool query) {
  pfield f = make_pfield("Project", std::nullopt);
  f.label = "Project";
  f.type = FT_ONEOF;
  f.picklist = query ? "oneof -f projectquery_picklist" : "oneof -f project_picklist";
  return f;
}

int set_up_form(LayoutgenRun& run, const char* prog) {
  int status = resolve_class(run, prog);
  if (status < 0) status = resolve_states(run);
  if (status < 0) status = parse_form_template(run);
  if (status < 0) status = load_paths(run);
  return status;
}

}  // namespace plix

#include "layoutgen/layoutgen.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "layoutgen/exit_status.h"
#include "layoutgen/form_output.h"
#include "layoutgen/form_setup.h"
#include "template/browser_detect.h"
#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "recstore/temp_files.h"
#include "site/home.h"
#include "site/layout.h"
#include "site/startup.h"
#include "site/web_user.h"
#include "util/files.h"
#include "util/messages.h"

namespace plix {

namespace {

// Loads what the query-like actions read before the class is known: the
// query cache configuration (left empty when it cannot be loaded) and the
// database schema text (absent when unreadable).
void load_query_config(LayoutgenRun& run) {
  if (loadtable(home_file(kCacheConfFile), run.cache_conf) != 0) freefields(run.cache_conf);
  run.schema = file2buf(home_file(kSchemaFile));
}

int dispatch(LayoutgenRun& run, const char* prog) {
  const LayoutgenOptions& o = run.opts;
  run.action = find_action(o.action.value_or(""));
  if (!run.action || !action_requirements_met(*run.action, o)) usage_exit(prog);
  switch (run.action->action) {
    case Action::kTransition:
      if (o.state->size() != 1) {
        warn("Invalid state to transition to: %s.\n", o.state->c_str());
        return kExitUsage;
      }
      break;
    case Action::kConvert:
      run.convert = true;
      [[fallthrough]];
    case Action::kQuery:
    case Action::kDisplay:
      load_query_config(run);
      break;
    case Action::kCachedQuery:
      if (is_http()) return kExitOk;
      warn("Unable to cache information correctly.  Please run by the web user.\n");
      return kExitNotWebUser;
    default:
      break;
  }
  if (o.state && run.action->action != Action::kTransition) usage_exit(prog);
  run.template_file = run.action->template_file;
  return -1;  // go on with the form
}

int run_layoutgen(int argc, char** argv) {
  const char* prog = argc > 0 ? argv[0] : "layoutgen";
  // Process-wide and never torn down: freeing a large form's texts one by
  // one just before exit would cost a fifth of the run.
  LayoutgenRun& run = layoutgen_run();
  program_start(prog);
  if (!parse_options(argc, argv, run.opts)) usage_exit(prog);
  int status = dispatch(run, prog);
  if (status >= 0) return status;
  status = set_up_form(run, prog);
  if (status >= 0) return status;
  run.browser_type = pl_determine_browser(run.opts.browser);
  const std::string header = script_header(run.browser_type);
  std::fwrite(header.data(), 1, header.size(), stdout);
  status = write_form(run, stdout);
  if (std::fflush(stdout) != 0 && status == kExitOk) status = kExitUnusable;
  return status;
}

}  // namespace

LayoutgenRun& layoutgen_run() {
  static LayoutgenRun* run = new LayoutgenRun;
  return *run;
}

int layoutgen_main(int argc, char** argv) {
  try {
    return run_layoutgen(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("Out of memory\n", stderr);
    return kExitUnusable;
  }
}

}  // namespace plix

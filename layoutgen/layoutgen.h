// layoutgen: prints the description of one form for the web front end.
//
// Run order: start-up (home directory, web user, temporary directory),
// options, action dispatch, then the form itself. Every check happens before
// the first byte of output, so a failing run prints nothing on stdout.
#pragma once

#include <optional>
#include <string>

#include "layoutgen/actions.h"
#include "layoutgen/options.h"
#include "recstore/field_table.h"

namespace plix {

/// The values of one run; each is set at most once.
struct LayoutgenRun {
  std::string template_file = "master.tmpl";
  LayoutgenOptions opts;
  const ActionInfo* action = nullptr;
  bool convert = false;
  FieldTable cache_conf;              ///< query, convert, display only
  std::optional<std::string> schema;  ///< whole schema text, when readable
};

/// The program. Returns the exit status (some paths exit directly).
int layoutgen_main(int argc, char** argv);

}  // namespace plix

// layoutgen: prints the description of one form for the web front end.
//
// Run order: start-up (home directory, web user, temporary directory),
// options, action dispatch, class and states, template, search paths and
// picklists, browser type, then the form description in one pass. Every
// check happens before the first byte of output, so a failing run prints
// nothing on stdout.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "layoutgen/actions.h"
#include "layoutgen/options.h"
#include "recstore/field_table.h"
#include "template/pfield.h"
#include "template/picklist.h"

namespace plix {

/// The values of one run; each is set at most once.
struct LayoutgenRun {
  std::string template_file = "master.tmpl";
  LayoutgenOptions opts;
  const ActionInfo* action = nullptr;
  bool convert = false;
  FieldTable cache_conf;              ///< query, convert, display only
  std::optional<std::string> schema;  ///< whole schema text, when readable
  std::string klass;
  std::optional<std::string> project;   ///< known project, if any
  std::unique_ptr<FieldTable> bug_record;  ///< the record the form is for
  FieldTable static_fields;             ///< Class and Project for the parser
  std::string states;                   ///< state letters the parse covers
  std::string template_path;
  PfieldArray fields;
  std::string help_path, filter_path, oneof_path;
  std::optional<PickTable> oneofs;
  pfield proj_field;  ///< the Project pseudo-field
  int browser_type = 0;
};

/// The run's values (one run per process).
LayoutgenRun& layoutgen_run();

/// The program. Returns the exit status (some paths exit directly).
int layoutgen_main(int argc, char** argv);

}  // namespace plix

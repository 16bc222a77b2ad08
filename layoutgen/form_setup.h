// The loading steps of layoutgen between dispatch and output: the record,
// the project's class, the state list (for a transition, the path of states
// to the target), the template parse, the search paths and picklists.
//
// Identifiers from the command line and from records are checked before
// any path is built from them; a bad one is refused like an unusable one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "layoutgen/layoutgen.h"
#include "util/limits.h"

namespace plix {


/// The class of a project (first word of its Class field); remembers the
/// last project. Ends the run (status 1) when the project record is
/// unusable.
std::string local_projclass(std::string_view project);
/// The Project pseudo-field for the class; query lists every project.
pfield init_project(std::string_view klass, bool query);

/// Runs the loading steps; returns -1 to go on to the output, or the exit
/// status of a failure (its message already written).
int set_up_form(LayoutgenRun& run, const char* prog);

}  // namespace plix

// What every program does before anything else, and what it leaves behind
// on every way out.
//
//   program_start(argv[0]);   // name, home, web user, temporary directory
//
// The home directory must be known first: without the database account the
// program ends at once (status 1). Temporary files that the run makes are
// removed when it ends: at exit, and when a terminating signal (hang-up,
// interrupt, quit, termination, broken pipe) arrives, after which the
// signal takes its usual course.
#pragma once

#include <memory>
#include <string_view>

#include "recstore/field_table.h"

namespace plix {

/// Start-up of every program: the program's name for messages, the home
/// directory, the loader's treatment of enclosures (references), the web
/// user's configuration, the record store's temporary directory, and the
/// removal of temporary files however the run ends.
void program_start(const char* prog);

/// Removes the run's temporary files when a terminating signal arrives (a
/// signal the process ignores stays ignored); program_start calls it.
void clean_up_on_signals();

/// The record's table, or null when it cannot be loaded in
/// kLoadRecordAttempts tries one second apart (it may be being replaced).
std::unique_ptr<FieldTable> load_record(std::string_view id);

}  // namespace plix

// Finding a field's help file from the help line of its logic.
//
// A help line is "help NAME". NAME is used as it is when it starts with
// "/"; "$~/rest" (or "$~rest") means HOME/rest; any other name is looked for in the
// directories of the help search path ("dir:dir:..."; a directory that does
// not start with "/" lies under the home directory), first existing
// candidate wins. The home directory is asked for only when needed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plix {

/// The path of the help file that the help line names, or nullopt when
/// either argument is missing, the line is no help line, or no candidate
/// exists (plix_access(path, 0)).
std::optional<std::string> pl_get_help(std::optional<std::string_view> line,
                                       std::optional<std::string_view> search_path);

/// The file name of a help line (its first line only): the rest after the
/// word, trailing white space removed; nullopt for no help line or no name.
std::optional<std::string> get_help_from_line(std::string_view line);

/// The path of help file `name` (rules above), or nullopt.
std::optional<std::string> find_help_file(std::string_view name, std::string_view search_path);

}  // namespace plix

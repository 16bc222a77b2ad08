// Checks on names that arrive from outside (command lines, form data,
// record fields) before any path is built from them: record ids, project
// names, class names. Each becomes one path component below the home
// directory, so none may hold "/", start with "." or carry control bytes.
#pragma once

#include <cstddef>
#include <string_view>
#include "util/limits.h"

namespace plix {

/// Length of a record id as the id sequence hands them out (ABCde00042).
inline constexpr std::size_t kRecordIdLen = 10;

/// Whether id has the exact shape of a Machid value: 3 letters A-Z, 2
/// letters a-z, 5 digits.
bool is_machid_shape(std::string_view id);

/// Whether id may name a record file: at least 10 and at most 255
/// characters, no "/", no "..", no leading ".", no control characters
/// (NUL included). Looser than is_machid_shape, since records imported
/// from elsewhere may carry other id shapes.
bool valid_record_id(std::string_view id);

/// Whether name may name a project (proj.info/NAME, projects/NAME): not
/// empty, at most 255 characters, no "/", no leading ".", no control
/// characters (NUL included).
bool valid_project_name(std::string_view name);

/// The same rule for a class directory (class/NAME).
bool valid_class_name(std::string_view name);

}  // namespace plix

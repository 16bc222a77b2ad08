// Small site utilities on record fields and files: the stamp of an
// enclosure, and cleaning zero bytes out of a file that a user supplied.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"

namespace plix {

/// Sets the field's stamp to "<action> YYMMDD by <web user>" ("unknown"
/// without one). Characters that would break the stamp's line in a record
/// file (control characters, ':') are replaced in the user's name.
void enclstamp(std::string_view action, Field& f);

/// A copy of the file with every zero byte replaced by a blank, in the
/// temporary directory (the caller owns the file); nullopt when the file has
/// no zero byte or cannot be read (logged).
std::optional<std::string> remove_null(const std::string& path);

/// Cleans the file in place. The file is replaced atomically within its own
/// directory, keeping its permissions, so it is never lost. Always 0.
int remove_null_inplace(const std::string& path);

}  // namespace plix

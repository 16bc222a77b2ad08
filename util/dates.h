// Date stamps of logs and enclosure stamps.
#pragma once

#include <string>

namespace plix {

/// The present local date as "YYMMDD"; with an argument count of 2 or more
/// followed by a blank and the time as "HHMMSS".
std::string today(int argc);

}  // namespace plix

// Numbered names for tests that build many entries ("F0", "F1", ...).
//
// Appending the number to a copy of the prefix, rather than writing
// "F" + std::to_string(i), keeps g++ 12 at -O3 from a false -Wrestrict
// report on the insert that operator+ inlines.
#pragma once

#include <string>
#include <string_view>

namespace plix::test {

/// prefix followed by n in decimal.
inline std::string numbered(std::string_view prefix, long n) {
  std::string name(prefix);
  name += std::to_string(n);
  return name;
}

}  // namespace plix::test

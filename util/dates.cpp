#include "util/dates.h"

#include <ctime>

#include "util/messages.h"

namespace plix {

std::string today(int argc) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::string s = format("%02d%02d%02d", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday);
  if (argc >= 2) s += format(" %02d%02d%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return s;
}

}  // namespace plix

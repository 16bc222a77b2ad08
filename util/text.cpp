#include "util/text.h"

#include <cstring>

namespace plix {

std::string strsave(const char* text) {
  return text ? std::string(text) : std::string();
}

std::string strsave(std::string_view text) {
  return std::string(text);
}

bool empty_string(const char* text) {
  return text == nullptr || empty_string(std::string_view(text));
}

bool empty_string(std::string_view text) {
  return text.find_first_not_of(" \t\n\r\v\f") == std::string_view::npos;
}

std::size_t endof(std::string_view text) {
  return text.empty() ? std::string::npos : text.size() - 1;
}

void killnl(std::string& text) {
  std::size_t nl = text.find('\n');
  if (nl != std::string::npos) text.erase(nl);
}

void killnl(char* text) {
  if (text == nullptr) return;
  if (char* nl = std::strchr(text, '\n')) *nl = '\0';
}

}  // namespace plix

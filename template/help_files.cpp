#include "template/help_files.h"

#include "site/layout.h"
#include "template/text_ops.h"
#include "util/file_access.h"

namespace plix {

namespace {

std::optional<std::string> existing(std::string path) {
  if (plix_access(path, 0) != 0) return std::nullopt;
  return path;
}

}  // namespace

std::optional<std::string> get_help_from_line(std::string_view line) {
  line = line.substr(0, line.find('\n'));
  std::size_t at = line_content(line, 0);
  if (at == npos || !filter_is("help", line, at)) return std::nullopt;
  std::size_t start = at + 4;
  while (start < line.size() && is_white(line[start])) ++start;
  std::size_t end = line.size();
  while (end > start && is_white(line[end - 1])) --end;
  if (end <= start) return std::nullopt;
  return std::string(line.substr(start, end - start));
}

std::optional<std::string> find_help_file(std::string_view name, std::string_view search_path) {
  if (name.empty()) return std::nullopt;
  if (name.front() == '/') return existing(std::string(name));
  if (name.substr(0, 2) == "$~") {
    // "$~/x" is HOME/x; the "/" is optional, so "$~x" keeps its first letter.
    std::string_view rest = name.substr(2);
    if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    return existing(home_file(rest));
  }

  std::size_t pos = 0;
  while (pos <= search_path.size()) {
    std::size_t colon = search_path.find(':', pos);
    if (colon == npos) colon = search_path.size();
    std::string_view dir = search_path.substr(pos, colon - pos);
    pos = colon + 1;
    if (dir.empty()) continue;
    std::string candidate =
        dir.front() == '/' ? std::string(dir) : home_file(dir);
    candidate += "/";
    candidate += name;
    if (auto found = existing(std::move(candidate))) return found;
  }
  return std::nullopt;
}

std::optional<std::string> pl_get_help(std::optional<std::string_view> line,
                                       std::optional<std::string_view> search_path) {
  if (!line || !search_path) return std::nullopt;
  std::optional<std::string> name = get_help_from_line(*line);
  if (!name) return std::nullopt;
  return find_help_file(*name, *search_path);
}

}  // namespace plix

#include "site/layout.h"

#include "site/home.h"

namespace plix {

std::string home_file(std::string_view rel) {
  std::string path = gethomedir();
  path += '/';
  path += rel;
  return path;
}

std::string proj_info_path(std::string_view project) {
  return home_file("proj.info/") + std::string(project);
}

std::string proj_control_path(std::string_view project) {
  return home_file("projects/") + std::string(project) + "/proj.control";
}

std::string class_path(std::string_view klass, std::string_view file) {
  std::string path = home_file(kClassDir) + "/" + std::string(klass);
  if (!file.empty()) {
    path += '/';
    path += file;
  }
  return path;
}

}  // namespace plix

#include "tests/support/temp_home.h"

namespace plix::test {

ClassBuilder& ClassBuilder::tmpl(const std::string& text) { return file("master.tmpl", text); }

ClassBuilder& ClassBuilder::file(const std::string& file, const std::string& text) {
  home_.file("class/" + name_ + "/" + file, text);
  return *this;
}

TempHome::TempHome() {
  for (const char* d : {"allbugs", "class", "conf", "etc", "proj.info", "projects", "spool", "tmp"})
    make_dirs(dir_ / d);
}

ClassBuilder TempHome::klass(const std::string& name) {
  make_dirs(dir_ / ("class/" + name));
  return ClassBuilder(*this, name);
}

TempHome& TempHome::project(const std::string& name, const std::string& cls,
                            const std::string& extra) {
  file("proj.info/" + name, "Class: " + cls + "\n" + extra);
  make_dirs(dir_ / ("projects/" + name));
  return *this;
}

TempHome& TempHome::record(const std::string& id, const std::string& text) {
  std::string nn = id.size() >= 10 ? id.substr(8, 2) : std::string("xx");
  return file("allbugs/" + nn + "/" + id, text);
}

TempHome& TempHome::file(const std::string& rel, const std::string& text, int mode) {
  write_file(dir_ / rel, text, mode);
  return *this;
}

std::string TempHome::read(const std::string& rel) const { return read_file(dir_ / rel); }

}  // namespace plix::test

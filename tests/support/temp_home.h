// Builds a database home directory in a temporary folder for one test:
//
//   TempHome home;
//   home.klass("bugs").tmpl("...").file("statenames", "...");
//   home.project("alpha", "bugs").record("ABCde00042", "Project: alpha\n...");
//
// The standard folders (allbugs, class, conf, etc, proj.info, projects,
// spool, tmp) exist from the start. Everything is removed with the object.
#pragma once

#include <string>

#include "tests/support/temp_dir.h"

namespace plix::test {

class TempHome;

class ClassBuilder {
 public:
  ClassBuilder(TempHome& home, std::string name) : home_(home), name_(std::move(name)) {}
  /// class/NAME/master.tmpl
  ClassBuilder& tmpl(const std::string& text);
  /// class/NAME/<file>
  ClassBuilder& file(const std::string& file, const std::string& text);
  TempHome& home() { return home_; }

 private:
  TempHome& home_;
  std::string name_;
};

class TempHome {
 public:
  TempHome();

  const std::string& path() const { return dir_.path(); }
  /// Absolute path of a file below the home.
  std::string operator/(const std::string& rel) const { return dir_ / rel; }

  ClassBuilder klass(const std::string& name);
  /// proj.info/NAME with "Class: <cls>" and the extra record lines; and projects/NAME/.
  TempHome& project(const std::string& name, const std::string& cls,
                    const std::string& extra = "");
  /// allbugs/NN/ID with NN the 9th and 10th characters of the id.
  TempHome& record(const std::string& id, const std::string& text);
  /// Any file below the home.
  TempHome& file(const std::string& rel, const std::string& text, int mode = 0644);
  /// The text of a file below the home ("" when unreadable).
  std::string read(const std::string& rel) const;

 private:
  TempDir dir_;
};

}  // namespace plix::test

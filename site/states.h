// Record states and the routes between them.
//
// A class lists its states in class/CLASS/statenames: one state per line, a
// state letter and a category letter (then a description, not read here).
// Its routing table class/CLASS/states holds entries of three letters, "from
// to next": a record on its way from `from` to `to` passes `next` first.
// "#" starts a comment in the routing table.
//
//   load_class_states / selectstates   the letters of a class (cached for good)
//   projclass / classdir / ...         where a project's class files are
//   loadstates -> nextstate            the routing table of a project's class
//   valid_transition                   walk a route, checking access per state
//
// Everything read is kept for the life of the process; reset_states_state()
// forgets it (tests).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recstore/field_table.h"
#include "util/limits.h"

namespace plix {

/// Class of a project whose information record names none.
inline constexpr const char* kDefaultClass = "software";
/// Record area of the Class lookup.
inline constexpr std::size_t kClassLookupArea = 1024;

/// The states of one class as its statenames file lists them.
struct ClassStates {
  std::string name;        ///< class name
  int count = 0;           ///< number of states
  std::string states;      ///< state letters in file order
  std::string categories;  ///< category letter of each state, same order
};

struct StatesState {
  /// Classes read so far; entries are never reloaded or freed, so pointers stay valid.
  std::vector<std::unique_ptr<ClassStates>> classes;
  /// Distinct letters of the loaded routing table, in order of first appearance.
  std::string Statelist;
  /// Next state by the positions of (from, to) in Statelist; 0 for none.
  std::array<std::array<char, kMaxStates>, kMaxStates> Transition{};

  std::optional<std::string> class_project, class_name;  ///< projclass
  std::optional<std::string> classdir_project, classdir_path;
  std::optional<std::string> statenames_project, statenames_path;
  std::optional<std::string> states_project, states_path;
  std::optional<std::string> loaded_path;  ///< routing table now loaded
  std::optional<std::string> projstates_project, projstates_result;
  std::optional<std::string> remote_project;  ///< remote_modify_ok's last question
  int remote_answer = 0;
};

StatesState& states_state();
/// Forgets every cached class, table and remembered name (tests).
void reset_states_state();

/// Index of the class in the cache, or -1.
int getclassid(std::string_view cls);
/// The class's states, read now or from the cache; null with a message
/// when the statenames file is missing, unreadable or malformed, or the
/// class name cannot name a directory (reported as missing).
const ClassStates* load_class_states(std::string_view cls);
/// Puts the class's state letters into `out` (emptied first unless
/// `append`). With a filter only states whose category occurs in it are
/// taken; when `out` held letters, letters already there are not repeated.
/// False when the class's states cannot be read (out is then as step one
/// left it: emptied unless appending).
bool selectstates(std::string_view cls, std::optional<std::string_view> filter, std::string& out,
                  bool append);
/// What a project's information record says of its class.
struct ProjectClass {
  enum Status { kFound, kBadName, kUnreadable, kNoField } status = kUnreadable;
  std::string klass;  ///< the first word of the Class field (kFound)
  std::string path;   ///< the information record's path
  int err = 0;        ///< why it could not be read (kBadName: EINVAL)
};
/// Reads the Class field of proj.info/PROJECT, without a message; a name
/// that cannot be a project file is not looked up (kBadName). The class
/// word (at most kMaxNameLength characters of it) is returned as written:
/// callers check it with valid_class_name.
ProjectClass lookup_project_class(std::string_view project);
/// The first word of the Class field of proj.info/PROJECT; "software"
/// after "ERROR: ..." when the record, the field or a usable class name is
/// missing (an invalid project name counts as an unreadable record).
std::string projclass(std::string_view project);
/// All letters of the project's class; remembered per project. nullopt when
/// the class's states cannot be read.
std::optional<std::string> projstates(std::string_view project);
/// HOME/class/CLASS for the project's class, and its statenames and states files.
std::string classdir(std::string_view project);
std::string statenamesfile(std::string_view project);
std::string statesfile(std::string_view project);
/// Loads the routing table of the project's class into Statelist and
/// Transition unless that very file is loaded. A malformed entry, or one that
/// would bring the table past 30 letters, stops the load with
/// "<path>: badly formatted state table" (entries before it stay).
/// False when no usable table is in place: the file cannot be read, or it
/// is malformed before its first entry (a valid table without entries is
/// usable: it offers no step).
bool load_state_table(std::string_view project, bool reset);
/// load_state_table with a reset.
bool loadstates(std::string_view project);
/// Empties Statelist and Transition; forgets the loaded and statesfile paths.
void clear_state_table();
/// Every state letter of every class below HOME/class, each once; false
/// (out untouched) when the class directory cannot be read. The routing
/// table is left empty.
bool allstates(std::string& out);
/// Position of the letter in the list, or -1.
int statenum(char letter, std::string_view list);
/// The next state from `from` towards `to` in the loaded table, or 0.
char nextstate(char from, char to);
/// 1 when the web user may move a record of the project from `from` to
/// `to`: every state on the route must pass state_access_ok. A route that
/// never reaches `to` (a cycle in the table) is refused.
int valid_transition(std::string_view project, char from, char to, bool same_ok, bool start_ok,
                     const FieldTable* record);
/// 1 when this site's machine id is listed in the project's Remote-mod-ok
/// field, else 0. The answer for the last project is remembered.
int remote_modify_ok(std::string_view project);

}  // namespace plix

// Where each kind of file lies below the database home directory. Every
// path below the home is built here, from names that the callers have
// checked (valid_project_name, valid_class_name) before.
//
//   allbugs/NN/ID                  record files (bugpath, site/home.h)
//   proj.info/PROJECT              a project's information record
//   projects/PROJECT/proj.control  a project's access rules
//   class/CLASS/FILE               a class's template, states, picklists, helps
//   conf/..., etc/..., dbms/...    site files named below
#pragma once

#include <string>
#include <string_view>

namespace plix {

inline constexpr const char* kDefSeqFile = "conf/def.seq";
inline constexpr const char* kHostnameFile = "conf/hostname";
inline constexpr const char* kHttpUserFile = "conf/http_user";
inline constexpr const char* kGroupsFile = "conf/groups";
inline constexpr const char* kSecurityFile = "etc/security";
inline constexpr const char* kPlixrcFile = "etc/plixrc";
inline constexpr const char* kCacheConfFile = "etc/cache_conf";
inline constexpr const char* kSchemaFile = "dbms/plix/.schema";
inline constexpr const char* kClassDir = "class";
inline constexpr const char* kStatenamesFile = "statenames";
inline constexpr const char* kStatesFile = "states";

/// HOME/rel.
std::string home_file(std::string_view rel);
/// HOME/proj.info/PROJECT.
std::string proj_info_path(std::string_view project);
/// HOME/projects/PROJECT/proj.control.
std::string proj_control_path(std::string_view project);
/// HOME/class/CLASS, or HOME/class/CLASS/FILE for a non-empty file.
std::string class_path(std::string_view klass, std::string_view file = {});

}  // namespace plix

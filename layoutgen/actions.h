// The actions of layoutgen: what each needs on the command line, which
// template file and parse mode it uses, its initial state list, and whether
// it reads the query cache configuration.
//
// An -a value selects the first action (in table order) of whose name it is
// a prefix: "s" submit, "c" clone, "con" convert, "" submit.
#pragma once

#include <string_view>

#include "layoutgen/options.h"

namespace plix {

enum class Action { kSubmit, kModify, kClone, kTransition, kQuery, kConvert, kDisplay, kCachedQuery };

struct ActionInfo {
  std::string_view name;
  Action action;
  const char* template_file;   ///< null for cached_query
  char mode;                   ///< template mode letter; 0 for cached_query
  const char* initial_states;  ///< fixed initial list, or null when computed
  bool loads_cache;            ///< reads etc/cache_conf and the schema
  bool query_form;             ///< Project pseudo-field lists every project
};

/// The action an -a value names, or null.
const ActionInfo* find_action(std::string_view value);

/// Whether the options supply what the action needs (the usage text is due
/// otherwise).
bool action_requirements_met(const ActionInfo& a, const LayoutgenOptions& opts);

}  // namespace plix

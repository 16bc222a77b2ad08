#include "layoutgen/actions.h"

namespace plix {

namespace {

constexpr ActionInfo kActions[] = {
    {"submit", Action::kSubmit, "master.tmpl", 'p', "S", false, false},
    {"modify", Action::kModify, "master.tmpl", 'm', nullptr, false, false},
    {"clone", Action::kClone, "clone.prompt", 'p', "S", false, false},
    {"transition", Action::kTransition, "master.tmpl", 'p', nullptr, false, false},
    {"query", Action::kQuery, "master.tmpl", 'q', nullptr, true, true},
    {"convert", Action::kConvert, "master.tmpl", 'q', nullptr, true, true},
    {"display", Action::kDisplay, "master.tmpl", 'v', nullptr, true, false},
    {"cached_query", Action::kCachedQuery, nullptr, 0, nullptr, false, false},
};

}  // namespace

const ActionInfo* find_action(std::string_view value) {
  for (const auto& a : kActions)
    if (a.name.substr(0, value.size()) == value) return &a;
  return nullptr;
}

bool action_requirements_met(const ActionInfo& a, const LayoutgenOptions& o) {
  switch (a.action) {
    case Action::kSubmit:
      return o.klass || o.project;
    case Action::kModify:
    case Action::kClone:
      return o.id.has_value();
    case Action::kTransition:
      return o.id && o.state;
    case Action::kQuery:
    case Action::kConvert:
      return o.klass.has_value();
    case Action::kDisplay:
      return o.id && !o.klass;
    case Action::kCachedQuery:
      return true;
  }
  return false;
}

}  // namespace plix

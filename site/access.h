// Who may move a record into a state, and the web user's other rights.
//
// A project's rules live in HOME/projects/PROJECT/proj.control: for a state
// letter S, "S-allow" lists user names and "S-allow-group" group names that
// may move a record of the project into S. A state without either entry is
// open to everybody. A word "$Name" stands for the record's Name field, or
// else for the rules' own Name entry, expanded in turn without that entry
// (so a chain of references always ends).
//
// A user's groups come from HOME/conf/groups (entry name = group, value =
// members), then the password and group databases.
//
// The rules of the last project asked about, the web user's groups and
// nothing else are kept (reset_access_state() forgets them, for tests).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "util/limits.h"

namespace plix {

/// Files below the home directory.
/// Entry of etc/security for users without their own.
inline constexpr const char* kOtherToken = "OTHER";

struct AccessState {
  std::optional<std::string> groups;         ///< the web user's groups, once found
  std::optional<std::string> rules_project;  ///< project whose rules are cached
  FieldTable rules{kTableSlots};             ///< its proj.control
};

AccessState& access_state();
/// Forgets the cached groups and rules (tests).
void reset_access_state();

/// The user's group names separated by single blanks: the conf/groups
/// entries listing the user (file order), the primary group, then the
/// system groups listing the user. May repeat a group; "" for an empty name.
std::string plix_getgroups(std::string_view user);

/// The words of `text` (blank/tab separated) joined by single blanks, each
/// "$Name" replaced by the record's Name value (record may be null) or else
/// by the rules' Name entry, expanded without that entry. nullopt when no
/// word results.
std::optional<std::string> expand_variables(std::string_view text, const FieldTable* record,
                                            const FieldTable& rules);

/// 1 when the web user may move a record of the project into `state`, else
/// 0. Unreadable rules deny for a project owned here and follow
/// remote_modify_ok for one owned elsewhere; an invalid project name is an
/// unreadable project.
int state_access_ok(char state, std::string_view project, const FieldTable* record);

/// The user's token from etc/security, else the OTHER token; "" when neither
/// exists or the token is longer than 999 characters (with a message).
std::string getsectoken(std::string_view user);

/// 1 when a record may be handed from `project` to forward_target (state
/// beginning with "F") or else target: the same project, or both projects'
/// Path-to-owner known and `project` owned here or both owned by the same
/// machine. 0 when any of project, state or the chosen target is empty.
int ok2fwd(std::string_view project, std::string_view target, std::string_view forward_target,
           std::string_view state);

}  // namespace plix

// Which site and machine this installation is, whether a project is owned
// here, whether it is active, and the site's host name.
//
// The machine identifier is the first 5 characters of the Machid entry of
// conf/def.seq (3 upper-case letters naming the site, 2 lower-case letters);
// its last 5 digits are the record id counter. Another process may be
// rewriting def.seq while we read it, so getmachid tries 16 times.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include "util/limits.h"

namespace plix {

/// Characters of the machine identifier; the first 3 name the site.
inline constexpr std::size_t kMachineIdLen = 5;
inline constexpr std::size_t kSiteIdLen = 3;

struct SiteIdentityState {
  std::string Myid;  ///< the machine identifier once read; empty before
  std::optional<std::string> remote_project;  ///< project of the remembered isremote answer
  int remote_answer = 1;
  std::optional<std::string> host;  ///< dhost's answer once read
};

SiteIdentityState& site_identity_state();
void reset_site_identity_state();

/// The machine identifier, or nullopt after 16 failed reads (logged).
std::optional<std::string> getmachid();
/// 0 when the machine identifier can be had, else -1.
int setname();
/// 1 when id equals the machine identifier exactly, else 0.
int ismymach(std::string_view id);
/// 1 when the first 3 characters of id are this site's, else 0.
int ismysite(std::string_view id);
/// 1 when the project is owned at another site (or anything needed to tell
/// is missing), 0 when here. The answer for the last project is remembered.
int isremote(std::string_view project);
/// 0 active; -1 no information file; -2 no Proj-status; -4 status word
/// unreadable; -3 status word other than "active".
int scopecheck(std::string_view project);
/// The first word of conf/hostname's Hostname entry (read once); "" with a
/// message when missing.
const std::string& dhost();
/// "plix@" and the site host name.
std::string mypath();

}  // namespace plix

// Who the programs act for. The web server runs them under its own account,
// named in HOME/conf/http_user; when that is the process's real user, the
// person who signed in to the web server (REMOTE_USER) is the web user.
// Otherwise the web user is the real user's own login name.
//
// Calling order: http_init() once at start-up (after the home directory is
// known), then ruserid()/is_http() as needed. switch_to_user() flips the
// effective uid between the real user and the one the process started with.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include "util/limits.h"

namespace plix {

/// The http user file, relative to the home directory.

struct WebUserState {
  /// Path of the http user file; nullopt when there is none.
  std::optional<std::string> http_file;
  /// ruserid's answer once looked up (a failure is remembered as nullopt).
  bool ruser_known = false;
  std::optional<std::string> ruser;
  /// Ids switch_to_user found at its first call.
  bool ids_saved = false;
  uid_t saved_ruid = 0;
  uid_t saved_euid = 0;
};

/// The process-wide web user state.
WebUserState& web_user_state();
/// Back to the initial state (tests). Does not change the process's uids.
void reset_web_user_state();

/// Makes HOME/conf/http_user the http user file when it exists.
void http_init();
/// Remembers a copy of the path, replacing an earlier one.
void set_http_file(std::string_view path);
/// The http user file, or nullopt.
std::optional<std::string> get_http_file();
/// The first line of the http user file without its newline (at most 1023
/// characters), or nullopt when there is no file, it cannot be read or the
/// line is empty.
std::optional<std::string> get_http_user();
/// 1 when an http user is named and it is the login name of the real uid, else 0.
int is_http();
/// The web user's name, looked up once; nullopt (after "No password file
/// entry for user #N.") when the real uid has no name.
std::optional<std::string> ruserid();
/// real != 0: effective uid becomes the real uid; real == 0: back to the
/// effective uid of the first call. The result of seteuid (0 or -1).
int switch_to_user(int real);

}  // namespace plix

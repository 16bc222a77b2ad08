#include "site/layout.h"
#include "site/site_identity.h"

#include <sys/stat.h>

#include "recstore/field_table.h"
#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "site/home.h"
#include "site/identifiers.h"
#include "util/activity_log.h"
#include "util/file_access.h"
#include "util/messages.h"

namespace plix {

namespace {

// Record areas of the lookups, as the record reader charges them.
constexpr std::size_t kMachidArea = 200;
constexpr std::size_t kStatusArea = 2048;
constexpr long kStatusWordBuffer = 56;

bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// A Machid value as read: optional leading white space, then exactly the
// 10-character identifier and the newline that ends it.
bool machid_value_ok(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  if (v.size() != 11 || v[10] != '\n') return false;
  for (int i = 0; i < 3; ++i)
    if (!upper(v[i])) return false;
  for (int i = 3; i < 5; ++i)
    if (!lower(v[i])) return false;
  for (int i = 5; i < 10; ++i)
    if (!digit(v[i])) return false;
  return true;
}

}  // namespace

SiteIdentityState& site_identity_state() {
  static SiteIdentityState* state = new SiteIdentityState;
  return *state;
}

void reset_site_identity_state() { site_identity_state() = SiteIdentityState{}; }

std::optional<std::string> getmachid() {
  SiteIdentityState& st = site_identity_state();
  if (!st.Myid.empty()) return st.Myid;
  std::string path = home_file(kDefSeqFile);
  bool last_found = false;
  for (int attempt = 0; attempt < kMachidAttempts; ++attempt) {
    auto rec = dgbfindrec(path.c_str(), "Machid", kMachidArea);
    last_found = rec && rec->block.value;
    if (last_found && machid_value_ok(rec->block.value)) {
      std::string_view v = rec->block.value;
      v.remove_prefix(v.find_first_not_of(" \t"));
      st.Myid = std::string(v.substr(0, kMachineIdLen));
      return st.Myid;
    }
  }
  if (last_found)
    plix_writelog("Error reading machid from def.seq.");
  else
    plix_writelog("Can't find Machid field in def.seq");
  return std::nullopt;
}

int setname() { return getmachid() ? 0 : -1; }

int ismymach(std::string_view id) {
  auto me = getmachid();
  return me && id == *me ? 1 : 0;
}

int ismysite(std::string_view id) {
  auto me = getmachid();
  return me && id.size() >= kSiteIdLen && id.substr(0, kSiteIdLen) == me->substr(0, kSiteIdLen)
             ? 1
             : 0;
}

int isremote(std::string_view project) {
  SiteIdentityState& st = site_identity_state();
  if (st.remote_project && *st.remote_project == project) return st.remote_answer;
  int answer = 1;
  // A name that cannot be a project file is owned nowhere here.
  if (!project.empty() && valid_project_name(project)) {
    std::string path = proj_info_path(project);
    FieldTable info(kProjectTableSlots);
    if (plix_access(path, 0) == 0 && loadtable(path, info) == 0) {
      const std::string* owner = fieldvalue("Path-to-owner", info);
      auto me = (owner && !owner->empty()) ? getmachid() : std::nullopt;
      if (me) answer = owner->compare(0, kMachineIdLen, *me) == 0 ? 0 : 1;
    }
  }
  if (project.size() <= kMaxNameLength) {
    st.remote_project = std::string(project);
    st.remote_answer = answer;
  }
  return answer;
}

int scopecheck(std::string_view project) {
  if (!valid_project_name(project)) return -1;
  std::string path = proj_info_path(project);
  struct stat sb;
  if (::stat(path.c_str(), &sb) != 0) return -1;
  auto rec = dgbfindrec(path.c_str(), "Proj-status", kStatusArea);
  if (!rec) return -2;
  char word[kStatusWordBuffer];
  if (dgnitem(&rec->block, word, kStatusWordBuffer) != kDfileOk) return -4;
  return std::string_view(word) == "active" ? 0 : -3;
}

const std::string& dhost() {
  SiteIdentityState& st = site_identity_state();
  if (st.host) return *st.host;
  std::string path = home_file(kHostnameFile);
  st.host.emplace();
  auto rec = dgbfindrec(path.c_str(), "Hostname");
  if (!rec || !rec->block.value) {
    warn("Can't find Hostname field in %s\n", path.c_str());
    return *st.host;
  }
  char word[kDmysSize];
  if (dgnitem(&rec->block, word, sizeof word) != kDfileOk) {
    warn("No host in Hostname field in %s\n", path.c_str());
    return *st.host;
  }
  *st.host = word;
  return *st.host;
}

std::string mypath() { return std::string(kPlixAccount) + "@" + dhost(); }

}  // namespace plix

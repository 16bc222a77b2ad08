#include "util/file_access.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace plix {

int plix_access(const std::string& path, int mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  unsigned want = static_cast<unsigned>(mode) & 07;
  if (want == 0) return 0;
  auto allowed = [&](unsigned bits) { return (bits & want) == want ? 0 : -1; };
  if (st.st_uid == ::getuid() || st.st_uid == ::geteuid()) return allowed((st.st_mode >> 6) & 07);
  unsigned group_bits = (st.st_mode >> 3) & 07;
  unsigned other_bits = st.st_mode & 07;
  if (st.st_gid == ::getgid() || st.st_gid == ::getegid()) return allowed(group_bits);
  if (group_bits != other_bits) {
    gid_t groups[kMaxCheckedGroups];
    int n = ::getgroups(kMaxCheckedGroups, groups);
    if (n < 0) {
      // More groups than we look at: take the first ones only.
      std::vector<gid_t> all(NGROUPS_MAX);
      int total = ::getgroups(NGROUPS_MAX, all.data());
      n = total < kMaxCheckedGroups ? total : kMaxCheckedGroups;
      for (int i = 0; i < n; ++i) groups[i] = all[i];
    }
    for (int i = 0; i < n; ++i)
      if (groups[i] == st.st_gid && allowed(group_bits) == 0) return 0;
  }
  return allowed(other_bits);
}

int q_access(const std::string& path, int mode) { return plix_access(path, mode); }

}  // namespace plix

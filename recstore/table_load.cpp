#include "recstore/table_load.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <unordered_map>

#include "recstore/enclosures.h"
#include "util/messages.h"
#include "util/read_file.h"
#include "util/unique_fd.h"

namespace plix {

namespace {

// Names folded by the name rule (case, "-" = "_"), so that merging finds an
// entry without a scan of the table per entry read.
std::string fold_name(std::string_view n) {
  std::string k(n);
  for (char& c : k) {
    if (c == '_')
      c = '-';
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return k;
}

// First entry of each folded name, as findfield would find it.
using NameIndex = std::unordered_map<std::string, std::size_t>;

// Adds one delivered entry to the table. 0 or -1.
int store_entry(DfileBlock* b, const std::string& path, FieldTable& t, char how, NameIndex& index) {
  DfileState& st = dfile_state();
  if (b->value == nullptr) {
    warn("ERROR: %s: bad file format", path.c_str());
    return -1;
  }
  const char* v = b->value;
  while (*v == ' ' || *v == '\t') ++v;
  if (!st.Load_related_files && (b->enclosure != 0 || fname_eq(b->name, "Related-file"))) {
    const char* nl = std::strchr(v, '\n');
    if (nl == nullptr) {
      warn("INTERNAL ERROR: Missing newline after %s", v);
      warn("INTERNAL ERROR: buf =  %s", b->buffer ? b->buffer : "(null)");
      return -1;
    }
    std::string_view title(v, static_cast<std::size_t>(nl - v));
    std::optional<std::size_t> slot =
        addfile(b->name, title, std::string_view(b->stamp ? b->stamp : ""), path, t, 1);
    if (!slot) return -1;
    index.emplace(fold_name(b->name), *slot);
    return 0;
  }
  std::string_view value(v);
  if (!value.empty() && value.back() == '\n') value.remove_suffix(1);
  std::string key = fold_name(b->name);
  if (how != 'a') {
    auto it = index.find(key);
    if (it != index.end()) {  // addfield: the first entry of the name takes the value
      setvalue(t[it->second], value);
      return 0;
    }
  }
  if (appendfield(b->name, value, t) != 0) return -1;
  index.emplace(std::move(key), t.size() - 1);
  return 0;
}

// loadtable's pause: while the file holds exactly one byte, its writer is at
// work (it writes a marker byte first). A process waits so at most once: a
// file that stays at one byte is not being written, and a caller that
// retries must not wait again each time.
void wait_while_written(const std::string& path) {
  DfileState& st = dfile_state();
  if (st.waited_for_writer) return;
  for (int tries = 0; tries < kLoadWaitTries; ++tries) {
    UniqueFd fd = open_for_reading(path, kMaxRecordFileSize);
    if (!fd) return;
    char probe[8];
    ssize_t n = ::read(fd.get(), probe, sizeof probe);
    if (n < 0 && errno == EINTR) continue;
    if (n != 1) return;
    st.waited_for_writer = true;
    if (st.sleep_fn)
      st.sleep_fn(1);
    else
      ::sleep(1);
  }
}

int load_file(const std::string& path, FieldTable& t, char how) {
  DfileBlock* b = dopen(path.c_str(), "r");
  if (b == nullptr) {
    warnerr("%s", path.c_str());
    return -1;
  }
  int rc = dloadtable(b, path, t, how);
  dclose(b, 2);
  return rc;
}

}  // namespace

int dloadtable(DfileBlock* b, const std::string& path, FieldTable& t, char how) {
  DfileState& st = dfile_state();
  std::string& buf = st.load_buffer;
  if (buf.empty()) {
    try {
      buf.resize(kLoadBufferInitial);
    } catch (const std::bad_alloc&) {
      fatal("INTERNAL ERROR: can't initialize memory for dloadtable(): %s", std::strerror(ENOMEM));
    }
  }
  b->known_pos = -1;
  detail::ReadMode mode =
      st.Load_related_files ? detail::ReadMode::kFull : detail::ReadMode::kHeadOfFiles;
  NameIndex index;
  for (std::size_t i = 0; i < t.size(); ++i) index.emplace(fold_name(t[i].name), i);
  int result = 0;
  for (;;) {
    int rc = detail::read_entry(b, buf.data(), static_cast<long>(buf.size()), mode, true);
    if (rc == kDfileOk) {
      if (store_entry(b, path, t, how, index) != 0) {
        result = -1;
        break;
      }
      continue;
    }
    if (rc == kDfileNoRoom && !b->eof_partial) {
      // The entry does not fit: read it again with twice the room, up to
      // the largest entry a load may hold.
      if (buf.size() >= kMaxEntrySize) {
        warn("ERROR: %s: an entry is larger than %zu bytes\n", path.c_str(), kMaxEntrySize);
        result = -1;
        break;
      }
      try {
        buf.resize(std::min(buf.size() * 2, kMaxEntrySize));
      } catch (const std::bad_alloc&) {
        fatal("INTERNAL ERROR: can't realloc memory in dloadtable(): %s", std::strerror(ENOMEM));
      }
      b->entry_start = -1;
      continue;
    }
    if (rc == kDfileNoRoom) {
      // The file ends inside a line: no buffer can hold it whole.
      warn("ERROR: %s: bad file format", path.c_str());
    } else if (rc != kDfileEof) {
      if (path.empty())
        warn("INTERNAL ERROR: dloadtable(): dread() returned %d\n", rc);
      else
        warn("dfile error in dloadtable(): Could not load the file %s\n", path.c_str());
    }
    result = rc == kDfileEof ? 0 : -1;
    break;
  }
  // A buffer grown for one large value is not kept: it would double the
  // memory the value already takes in the table.
  if (buf.size() > kLoadBufferKept) std::string(kLoadBufferInitial, '\0').swap(buf);
  return result;
}

int loadtable(const std::string& path, FieldTable& t) {
  wait_while_written(path);
  return load_file(path, t, 'm');
}

int appendtable(const std::string& path, FieldTable& t) {
  return load_file(path, t, 'a');
}

}  // namespace plix

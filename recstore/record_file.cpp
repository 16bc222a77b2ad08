#include "recstore/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "recstore/field_table.h"
#include "recstore/temp_files.h"
#include "util/atomic_file.h"
#include "util/file_lock.h"
#include "util/messages.h"
#include "util/read_file.h"

namespace plix {

DfileState& dfile_state() {
  static DfileState* state = new DfileState;
  return *state;
}

namespace {

bool skippable(int c) {
  return c == '#' || c == ' ' || c == '\t' || c == '\n';
}

// One line read into a caller's area, fgets-like: at most cap-1 bytes and a
// terminating zero.
struct Line {
  std::size_t len = 0;  // bytes stored
  bool ended = false;   // the newline was stored
  bool eof = false;     // the file ended before a newline
  bool nul = false;     // a zero byte was stored
};

// A stream with the offset counted as bytes are taken, so that no seek is
// needed to learn where an entry ends.
struct Reader {
  std::FILE* f;
  std::int64_t pos;

  int get() {
    int c = getc_unlocked(f);
    if (c != EOF) ++pos;
    return c;
  }
  void unget(int c) {
    std::ungetc(c, f);
    --pos;
  }
  Line line(char* dst, std::size_t cap) {
    Line r;
    while (r.len + 1 < cap) {
      int c = get();
      if (c == EOF) {
        r.eof = true;
        break;
      }
      dst[r.len++] = static_cast<char>(c);
      if (c == '\0') r.nul = true;
      if (c == '\n') {
        r.ended = true;
        break;
      }
    }
    if (cap > 0) dst[r.len] = '\0';
    return r;
  }
  // Consumes the rest of a line; false when the file ends first.
  bool skip_line() {
    for (;;) {
      int c = get();
      if (c == EOF) return false;
      if (c == '\n') return true;
    }
  }
};

std::int64_t tell(std::FILE* f) {
  return static_cast<std::int64_t>(::ftello(f));
}

bool seek(std::FILE* f, std::int64_t off) {
  return ::fseeko(f, static_cast<off_t>(off), SEEK_SET) == 0;
}

// "a" mode: read and append, created when missing; regular files only.
UniqueFile open_for_append(const char* path) {
  UniqueFd fd(::open(path, O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) return nullptr;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  UniqueFile f(::fdopen(fd.get(), "a+"));
  if (f) fd.release();
  return f;
}

int finish(DfileBlock* b, int code) {
  b->status = code;
  return code;
}

// Puts the stream back at the entry's first line, the end not yet known.
int rewind_entry(DfileBlock* b, int code) {
  b->next_start = -1;
  b->known_pos = -1;
  if (!seek(b->in, b->entry_start)) {
    derror("dread", 116);
    ddead();
    return finish(b, kDfileIoError);
  }
  b->known_pos = b->entry_start;
  return finish(b, code);
}

void trim_trailing_blanks(char* s) {
  std::size_t n = std::strlen(s);
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) s[--n] = '\0';
}

// Copies the rest of the present line to the output (when there is one). A
// line longer than the line buffer is reported and taken whole.
int pass_line(DfileBlock* b, int position) {
  char line[(kMaxRecordLine + 1)];
  Reader r{b->in, 0};
  bool reported = false;
  for (;;) {
    Line l = r.line(line, sizeof line);
    if (b->out != nullptr && l.len > 0 && std::fwrite(line, 1, l.len, b->out) != l.len) {
      derror("dread", position);
      ddead();
      return kDfileIoError;
    }
    if (l.ended || l.eof) return 0;
    if (!reported) {
      warn("Illegal record in %s!\n", b->filename ? b->filename->c_str() : "(null)");
      reported = true;
    }
  }
}

// Step 2 of a read: moves past the current entry. 0 or -7.
int move_past(DfileBlock* b) {
  if (b->entry_start == -1) return 0;
  if (b->next_start == -1) return dforward(b) == kDfileIoError ? kDfileIoError : 0;
  if (b->out != nullptr) {
    if (!seek(b->in, b->entry_start)) {
      derror("dread", 116);
      ddead();
      return kDfileIoError;
    }
    std::int64_t left = b->next_start - b->entry_start;
    char piece[kDmysSize];
    while (left > 0) {
      std::size_t want = left < static_cast<std::int64_t>(sizeof piece)
                             ? static_cast<std::size_t>(left)
                             : sizeof piece;
      std::size_t got = std::fread(piece, 1, want, b->in);
      if (got == 0 || std::fwrite(piece, 1, got, b->out) != got) {
        derror("dread", 108);
        ddead();
        return kDfileIoError;
      }
      left -= static_cast<std::int64_t>(got);
    }
    return 0;
  }
  if (!seek(b->in, b->next_start)) {
    derror("dread", 116);
    ddead();
    return kDfileIoError;
  }
  return 0;
}

// Reads one line into the value area at p: 0, or the code of a line that
// holds a zero byte or does not fit.
int take_line(DfileBlock* b, Reader& r, char*& p, char* buffer, long limit) {
  Line l = r.line(p, static_cast<std::size_t>(limit - (p - buffer)));
  p += l.len;
  if (l.nul) return kDfileFormat;
  if (!l.ended) {
    b->eof_partial = l.eof;
    return kDfileNoRoom;
  }
  return 0;
}

// Reads lines that continue the first line with "@" (and comments between
// them) into the value area: the head of a file entry. 0, or a code.
int read_head_continuations(DfileBlock* b, Reader& r, char*& p, char* buffer, long limit) {
  for (;;) {
    int c = r.get();
    if (c == EOF) return 0;
    if (c == '#') {
      r.skip_line();
      continue;
    }
    if (c != '@') {
      r.unget(c);
      return 0;
    }
    if (p > buffer && p[-1] == '\n') --p;
    if (int code = take_line(b, r, p, buffer, limit)) return code;
  }
}

// Reads the lines after the first line into the value area. 0, or a code.
int read_continuations(DfileBlock* b, Reader& r, char*& p, char* buffer, long limit) {
  for (;;) {
    int c = r.get();
    if (c == EOF) return 0;
    if (c == ' ' || c == '\t' || c == '@') {
      if (c == '@') {
        if (p > buffer && p[-1] == '\n') --p;
      } else {
        r.unget(c);
      }
      if (int code = take_line(b, r, p, buffer, limit)) return code;
    } else if (c == '\n') {
      if ((p - buffer) + 2 > limit) {
        *p = '\0';
        return kDfileNoRoom;
      }
      *p++ = '\n';
      *p = '\0';
    } else if (c == '#') {
      r.skip_line();  // a comment of any length is dropped whole
    } else {
      r.unget(c);
      return 0;
    }
  }
}

// Moves past the body of a file entry without keeping it (lines of any
// length), as dforward would.
void skip_body(Reader& r) {
  for (;;) {
    int c = r.get();
    if (c == EOF) return;
    if (c == ' ' || c == '\t' || c == '@' || c == '#') {
      if (!r.skip_line()) return;
    } else if (c != '\n') {
      r.unget(c);
      return;
    }
  }
}

}  // namespace

namespace detail {

int read_entry(DfileBlock* b, char* buffer, long size, ReadMode mode, bool stream) {
  if (b == nullptr || b->mode == 0 || b->in == nullptr) return kDfileIoError;
  DfileState& st = dfile_state();
  b->enclosure = 0;
  b->eof_partial = false;
  bool name_only = size < 0;
  if (name_only) size = -size;
  if (buffer == nullptr) {
    buffer = st.dmys.data();
    if (size != 0) size = static_cast<long>(kDmysSize);
  }
  if (move_past(b) != 0) return finish(b, kDfileIoError);

  std::int64_t known = stream && b->entry_start == -1 ? b->known_pos : -1;
  b->known_pos = -1;
  b->name = b->buffer = buffer;
  b->value = b->item = b->cursor = b->stamp = nullptr;
  b->entry_start = known >= 0 ? known : tell(b->in);
  b->next_start = -1;
  if (size == 0) {
    b->name = b->buffer = nullptr;
    b->entry_start = -1;
    return finish(b, kDfileSkipped);
  }
  if (size < 2) {
    buffer[0] = '\0';
    return rewind_entry(b, kDfileNoRoom);
  }

  Reader r{b->in, b->entry_start};
  Line first;
  for (;;) {
    first = r.line(buffer, static_cast<std::size_t>(size));
    if (first.len == 0) {
      if (std::ferror(b->in)) return rewind_entry(b, kDfileIoError);
      return rewind_entry(b, kDfileEof);
    }
    if (!skippable(static_cast<unsigned char>(buffer[0]))) break;
    if (!first.ended && !first.eof) r.skip_line();
  }
  if (first.nul) return rewind_entry(b, kDfileFormat);
  char* colon = static_cast<char*>(std::memchr(buffer, ':', first.len));
  if (colon == nullptr) {
    if (!first.ended && !first.eof) return rewind_entry(b, kDfileNoRoom);
    return rewind_entry(b, kDfileFormat);
  }
  if (name_only) {
    *colon = '\0';
    trim_trailing_blanks(buffer);
    b->buffer = nullptr;
    return rewind_entry(b, kDfileName);
  }
  if (!first.ended) {
    b->eof_partial = first.eof;
    return rewind_entry(b, kDfileNoRoom);
  }
  b->value = b->item = b->cursor = colon + 1;

  // The name (and the stamp) move to the end of the buffer; the value grows
  // from the front.
  long n = colon - buffer;
  long limit = size - n - 4;
  if (static_cast<long>(first.len) + 1 > limit) return rewind_entry(b, kDfileNoRoom);
  char* name_copy = buffer + size - 1 - n;
  std::memmove(name_copy, buffer, static_cast<std::size_t>(n));
  buffer[size - 1] = '\0';
  trim_trailing_blanks(name_copy);
  b->name = b->stamp = name_copy;

  if (colon[1] == ':') {
    ++b->enclosure;
    char* open = colon + 2;
    b->value = b->stamp = b->item = b->cursor = open;
    char* line_end = buffer + first.len - 1;  // the newline
    char* close = nullptr;
    for (char* q = open; q + 1 < line_end; ++q) {
      if (q[0] == ':' && q[1] == ':') {
        close = q;
        break;
      }
    }
    if (close != nullptr) {
      long s = close - open;
      limit -= s + 4;
      if (static_cast<long>(first.len) + 1 > limit) return rewind_entry(b, kDfileNoRoom);
      char* stamp_copy = name_copy - s - 1;
      std::memcpy(stamp_copy, open, static_cast<std::size_t>(s));
      stamp_copy[s] = '\0';
      b->stamp = stamp_copy;
      b->value = b->item = b->cursor = close + 2;
    } else {
      b->stamp = buffer + size - 1;  // the empty text
    }
  }

  char* p = buffer + first.len;
  int rc;
  bool head_only =
      mode == ReadMode::kHeadOfFiles && (b->enclosure != 0 || fname_eq(b->name, "Related-file"));
  if (head_only)
    rc = read_head_continuations(b, r, p, buffer, limit);
  else
    rc = read_continuations(b, r, p, buffer, limit);
  if (rc == 0 && std::ferror(b->in)) rc = kDfileIoError;
  if (rc != 0) return rewind_entry(b, rc);
  *p = '\0';
  if (stream) {
    if (head_only) skip_body(r);
    if (std::ferror(b->in)) return rewind_entry(b, kDfileIoError);
    b->entry_start = b->next_start = -1;
    b->known_pos = r.pos;
    return finish(b, kDfileOk);
  }
  if (head_only) return rewind_entry(b, kDfileOk);  // the body is moved past later
  b->next_start = r.pos;
  if (!seek(b->in, b->entry_start)) return rewind_entry(b, kDfileIoError);
  return finish(b, kDfileOk);
}

}  // namespace detail

void reset_dfile_state() {
  DfileState& st = dfile_state();
  for (DfileBlock& b : st.iobf) {
    if (b.mode != 0) dclose(&b, 0);
  }
  st = DfileState{};
}

void derror(const char* module, int position) {
  int err = errno;
  warn_text(format("%s line %d error %d : %s\n", module ? module : "(null)", position, err,
                   std::strerror(err)));
  errno = err;
}

void ddead() {
  int err = errno;
  warn_text(
      format("ERROR: write failed!  Closing file; no changes made: %s\n", std::strerror(err)));
  errno = err;
}

void lst_dfile() {
  for (const DfileBlock& b : dfile_state().iobf)
    warn("Open dfile => %s\n", b.filename ? b.filename->c_str() : "(null)");
}

DfileBlock* dopen(const char* path, const char* mode) {
  DfileState& st = dfile_state();
  char m =
      (mode != nullptr) ? static_cast<char>(std::tolower(static_cast<unsigned char>(*mode))) : '\0';
  if (path == nullptr || *path == '\0' || (m != 'r' && m != 'a' && m != 'w')) {
    st.dopenflag = kDfileBadMode;
    return nullptr;
  }
  DfileBlock* b = nullptr;
  for (DfileBlock& cand : st.iobf) {
    if (cand.mode == 0) {
      b = &cand;
      break;
    }
  }
  if (b == nullptr) {
    warn_text("Internal error.  Out of dfile control blocks!\n");
    lst_dfile();
    st.dopenflag = kDfileNoBlock;
    return nullptr;
  }

  UniqueFile in;
  UniqueFile out;
  std::unique_ptr<FileLock> lock;
  std::optional<std::string> tempname;
  if (m == 'r') {
    in = fopen_for_reading(path, kMaxRecordFileSize);
  } else if (m == 'a') {
    in = open_for_append(path);
  } else {
    // A rewrite holds the file's lock until dclose, and leaves the file
    // alone until the commit: a missing file is read as empty, not created.
    lock = std::make_unique<FileLock>(path);
    if (lock->acquire() != 0) {
      st.dopenflag = kDfileCantOpen;
      return nullptr;
    }
    in = fopen_for_reading(path, kMaxRecordFileSize);
    if (!in && errno == ENOENT) in.reset(::fmemopen(nullptr, 1, "w+"));
    if (in) {
      std::optional<std::string> dir = dtmp();
      if (dir) tempname = plixtempnam(*dir, "dfile");
      if (!tempname) {
        st.dopenflag = kDfileNoRoom;
        return nullptr;
      }
      int fd = create_temp_file(*tempname, 0600);
      if (fd >= 0) out.reset(::fdopen(fd, "w+"));
      if (!out) {
        if (fd >= 0) ::close(fd);
        remove_temp_file(*tempname);
        st.dopenflag = kDfileCantOpen;
        return nullptr;
      }
    }
  }
  if (!in) {
    st.dopenflag = kDfileCantOpen;
    return nullptr;
  }
  std::rewind(in.get());
  *b = DfileBlock{};
  b->in = in.release();
  b->out = out.release();
  b->filename = path;
  b->tempname = std::move(tempname);
  b->mode = m;
  st.locks[static_cast<std::size_t>(b - st.iobf.data())] = std::move(lock);
  return b;
}

int dread(DfileBlock* b, char* buffer, long size) {
  return detail::read_entry(b, buffer, size, detail::ReadMode::kFull);
}

int dforward(DfileBlock* b) {
  if (b == nullptr || b->in == nullptr) return kDfileIoError;
  b->known_pos = -1;
  std::FILE* in = b->in;
  // Lines that no entry owns (only before a file's first entry) go along.
  for (;;) {
    int c = getc_unlocked(in);
    if (c == EOF) return kDfileSkipped;
    std::ungetc(c, in);
    if (!skippable(c)) break;
    if (pass_line(b, 418) != 0) return kDfileIoError;
  }
  if (pass_line(b, 418) != 0) return kDfileIoError;
  for (;;) {
    int c = getc_unlocked(in);
    if (c == EOF) return kDfileSkipped;
    if (c == '#') {
      Reader r{in, 0};
      r.skip_line();
    } else if (c == '\n') {
      if (b->out != nullptr && std::fputc('\n', b->out) == EOF) {
        derror("dread", 434);
        ddead();
        return kDfileIoError;
      }
    } else if (c == ' ' || c == '\t' || c == '@') {
      std::ungetc(c, in);
      if (pass_line(b, 450) != 0) return kDfileIoError;
    } else {
      std::ungetc(c, in);
      return kDfileSkipped;
    }
  }
}

int dfindit(DfileBlock* b, std::string_view name, char* buffer, long size, int how) {
  if (buffer == nullptr) size = static_cast<long>(kDmysSize);
  if (size < 0) size = -size;
  for (;;) {
    int rc = dread(b, buffer, -size);
    if (rc != kDfileName) return rc;
    if (!fname_eq(std::string_view(b->name), name)) continue;
    if (how != kDfindRead) {
      // Stopped at the match: the stream stands at its first line.
      b->value = b->item = b->cursor = nullptr;
      return finish(b, kDfileOk);
    }
    b->entry_start = -1;  // read this very entry, do not move past it
    return dread(b, buffer, size);
  }
}

int dfind(DfileBlock* b, std::string_view name, char* buffer, long size) {
  return dfindit(b, name, buffer, size, kDfindRead);
}

std::unique_ptr<DfileRecord> dgbfindrec(const char* path, std::string_view name, std::size_t size) {
  DfileState& st = dfile_state();
  DfileBlock* b = dopen(path, "r");
  if (b == nullptr) {
    st.dgbfindflag = st.dopenflag;
    return nullptr;
  }
  auto rec = std::make_unique<DfileRecord>();
  int rc = kDfileNoRoom;
  if (size > kDfileSnapshotSize) {
    rec->text.assign(size - kDfileSnapshotSize, '\0');
    rc = dfind(b, name, rec->text.data(), static_cast<long>(rec->text.size()));
  }
  rec->block = *b;
  rec->block.in = rec->block.out = nullptr;
  rec->block.mode = 0;
  dclose(b, 2);
  if (rc != kDfileOk) {
    st.dgbfindflag = rc == kDfileEof ? kDfileNotFound : rc;
    return nullptr;
  }
  return rec;
}

std::optional<std::string> dgbfindstring(const char* path, std::string_view name) {
  std::unique_ptr<DfileRecord> rec = dgbfindrec(path, name, kFindStringArea);
  if (!rec || rec->block.value == nullptr) return std::nullopt;
  const char* v = rec->block.value;
  while (*v == ' ' || *v == '\t') ++v;
  const char* end = std::strchr(v, '\n');
  std::size_t len = end ? static_cast<std::size_t>(end - v) : std::strlen(v);
  try {
    return std::string(v, len);
  } catch (const std::bad_alloc&) {
    warn("Malloc returned 0!  Trying to save %.*s", static_cast<int>(len), v);
    return std::nullopt;
  }
}

namespace {

bool item_separator(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Finds the next item: its start and length, or false when none is left.
bool next_item(DfileBlock* b, char*& start, std::size_t& len) {
  char* p = b->cursor;
  while (*p != '\0' && item_separator(*p)) ++p;
  b->cursor = p;
  if (*p == '\0') return false;
  char* e = p;
  while (*e != '\0' && !item_separator(*e)) ++e;
  start = p;
  len = static_cast<std::size_t>(e - p);
  return true;
}

}  // namespace

int dgnitem(DfileBlock* b, char* buffer, long size) {
  if (b == nullptr || b->status != kDfileOk) return kDfileNoEntry;
  if (size < 2 || buffer == nullptr) return kDfileNoRoom;
  if (b->cursor == nullptr) return kDfileNoItem;
  char* start;
  std::size_t len;
  if (!next_item(b, start, len)) return kDfileNoItem;
  b->item = start;
  if (len > static_cast<std::size_t>(size - 1)) {
    std::memcpy(buffer, start, static_cast<std::size_t>(size - 1));
    buffer[size - 1] = '\0';
    return kDfileNoRoom;
  }
  std::memcpy(buffer, start, len);
  buffer[len] = '\0';
  b->cursor = start + len;
  return kDfileOk;
}

int dgitem(DfileBlock* b, std::string& item) {
  if (b == nullptr || b->status != kDfileOk) return kDfileNoEntry;
  if (b->cursor == nullptr) return kDfileNoItem;
  char* start;
  std::size_t len;
  if (!next_item(b, start, len)) return kDfileNoItem;
  b->item = start;
  if (len > static_cast<std::size_t>(kDgitemSize - 1)) {
    item.assign(start, static_cast<std::size_t>(kDgitemSize - 1));
    return kDfileNoRoom;
  }
  item.assign(start, len);
  b->cursor = start + len;
  return kDfileOk;
}

int dpass(DfileBlock* b) {
  if (b == nullptr || b->in == nullptr) return kDfileIoError;
  char* piece = dfile_state().dmys.data();
  for (;;) {
    std::size_t got = std::fread(piece, 1, kDmysSize, b->in);
    if (got == 0) break;
    if (b->out != nullptr && std::fwrite(piece, 1, got, b->out) != got) {
      derror("dpass", 35);
      warn_text("fwrite error\n");
      return kDfileIoError;
    }
  }
  if (std::ferror(b->in)) return kDfileIoError;
  return kDfileOk;
}

namespace {

// Replaces the block's file with the temporary output: the rest of the input
// is passed through first. The replacement is atomic (written beside the
// file and renamed), so a failure at any point leaves the old file whole.
int commit_rewrite(DfileBlock* b, FileLock& lock) {
  // The stream stands at the first byte not yet copied: the current entry's
  // start, or the next entry after a read of size 0.
  if (dpass(b) != kDfileOk) return kDfileIoError;
  if (std::fflush(b->out) != 0) return kDfileIoError;
  std::rewind(b->out);
  AtomicFile& target = lock.writer();
  if (target.open() != 0) return kDfileIoError;
  char* piece = dfile_state().dmys.data();
  for (;;) {
    std::size_t got = std::fread(piece, 1, kDmysSize, b->out);
    if (got == 0) break;
    if (std::fwrite(piece, 1, got, target.stream()) != got) {
      derror("dpass", 35);
      warn_text("fwrite error\n");
      return kDfileIoError;
    }
  }
  if (std::ferror(b->out)) return kDfileIoError;
  return lock.commit() == 0 ? kDfileOk : kDfileIoError;
}

}  // namespace

int dclose(DfileBlock* b, int how) {
  if (b == nullptr || b->mode == 0) return kDfileIoError;
  DfileState& st = dfile_state();
  std::unique_ptr<FileLock> lock = std::move(st.locks[static_cast<std::size_t>(b - st.iobf.data())]);
  int rc = kDfileOk;
  if (b->out != nullptr) {
    if (how == 1 && lock) rc = commit_rewrite(b, *lock);
    std::fclose(b->out);
    if (b->tempname) remove_temp_file(*b->tempname);
  }
  if (b->in != nullptr) std::fclose(b->in);
  *b = DfileBlock{};
  return rc;  // the lock goes with `lock`, after the commit
}

}  // namespace plix

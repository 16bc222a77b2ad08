#include "template/picklist.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <tuple>
#include <unordered_set>

#include "recstore/field_table.h"
#include "recstore/table_load.h"
#include "template/help_files.h"
#include "template/text_ops.h"
#include "util/files.h"
#include "util/messages.h"
#include "util/read_file.h"

namespace plix {

namespace {

constexpr std::string_view kPicklistWords[] = {"oneof", "someof", "combobox"};

// The pieces of a picklist line: its kind and where its name part lies
// (offsets into the first line; name_end == name_begin when it has none).
struct LineParts {
  int kind = PL_FREE;
  std::size_t name_begin = 0;
  std::size_t name_end = 0;
};

std::string_view first_line(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

LineParts parse_picklist_line(std::string_view text) {
  LineParts parts;
  std::string_view line = first_line(text);
  std::size_t at = line_content(line, 0);
  if (at == npos) return parts;
  if (std::none_of(std::begin(kPicklistWords), std::end(kPicklistWords),
                   [&](std::string_view w) { return filter_is(w, line, at); }))
    return parts;
  parts.kind = PL_LIST;
  std::size_t pos = next_token(line, at);
  if (pos != npos && filter_is("-i", line, pos)) pos = next_token(line, pos);
  if (pos != npos && line[pos] == '-') {
    if (filter_is("-f", line, pos))
      parts.kind = PL_FILE;
    else if (filter_is("-d", line, pos))
      parts.kind = PL_RECORD;
    pos = next_token(line, pos);
  }
  if (pos == npos) return parts;
  std::size_t end = line.size();
  while (end > pos && is_white(line[end - 1])) --end;
  parts.name_begin = pos;
  parts.name_end = end;
  return parts;
}

bool is_loaded(const Picklist& p) {
  return p.kind != PL_FREE && p.kind != PL_END;
}

std::string without_quotes(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '"') out += c;
  return out;
}

void add_value(std::vector<std::string>& values, std::string_view v) {
  values.emplace_back(v.substr(0, kMaxValueLength));
}

std::size_t first_free(const PickTable& table) {
  for (std::size_t i = 0; i < table.entries.size(); ++i)
    if (!is_loaded(table.entries[i])) return i;
  return table.entries.size() - 1;
}

// Doubles the table when slot `i` is its end marker; indexes stay valid.
void make_room(PickTable& table, std::size_t i) {
  if (table.entries[i].kind != PL_END) return;
  std::size_t end = table.entries.size() - 1;
  table.entries.resize(std::max<std::size_t>(2 * end, end + 2));
  table.entries[end] = Picklist{};
  table.entries.back().kind = PL_END;
}

// The values of a PL_FILE list, as buf2values finds them, kept as pieces of
// the file's text instead of a copy each.
PickValues file_lines(std::string text) {
  return PickValues::of_lines(std::move(text), kMaxValueLength);
}

// A PL_FILE or PL_RECORD name part: the file name and, for a record, the field.
struct FileRef {
  std::string file;
  std::string field;
};

FileRef file_ref(std::string_view name, int kind) {
  std::string clean = without_quotes(name);
  if (kind != PL_RECORD) return {clean, {}};
  // "FILE FIELD": the file name is the first word, the field the next.
  std::size_t end = 0;
  while (end < clean.size() && !is_white(clean[end])) ++end;
  FileRef r{clean.substr(0, end), {}};
  std::size_t f = skip_space(clean, end);
  if (f != npos) {
    std::size_t fe = f;
    while (fe < clean.size() && !is_white(clean[fe])) ++fe;
    r.field = clean.substr(f, fe - f);
  }
  return r;
}

// The text of a found file: the whole file, or a record's field.
std::optional<std::string> file_text(const std::string& path, const std::string& field) {
  if (field.empty()) return file2buf(path);
  FieldTable record;
  if (loadtable(path, record) != 0) return std::nullopt;
  const std::string* value = fieldvalue(field, record);
  if (value == nullptr) return std::nullopt;
  return *value;
}

// The values of a PL_FILE or PL_RECORD list, from the cache when the same
// file was read before.
std::optional<PickValues> file_values(std::string_view name, std::string_view search_path,
                                      int kind, std::map<PickFileKey, PickValues>* files) {
  FileRef ref = file_ref(name, kind);
  // Help and picklist files are found by the same rules.
  std::optional<std::string> path = find_help_file(ref.file, search_path);
  if (!path) return std::nullopt;
  struct stat st;
  UniqueFd fd = open_for_reading(*path, kMaxReadFileSize, &st);
  if (!fd) return std::nullopt;
  PickFileKey key{st.st_dev, st.st_ino, kind, ref.field};
  if (files != nullptr) {
    auto it = files->find(key);
    if (it != files->end()) return it->second;
  }
  std::optional<std::string> text =
      ref.field.empty() ? read_file(fd.get(), st, kMaxReadFileSize) : file_text(*path, ref.field);
  PickValues values;
  if (text && kind == PL_FILE) {
    values = file_lines(std::move(*text));
  } else if (text) {
    auto v = buf2values(*text, PL_LIST);
    if (v) values = *v;
  }
  if (files != nullptr) files->emplace(std::move(key), values);
  return values;
}

}  // namespace

PickValues::PickValues(const std::vector<std::string>& v) {
  std::vector<std::string_view> views(v.begin(), v.end());
  *this = of_views(views);
}

PickValues::PickValues(std::initializer_list<std::string_view> v) {
  *this = of_views(std::vector<std::string_view>(v));
}

PickValues PickValues::of_text(std::string text,
                               const std::vector<std::pair<std::size_t, std::size_t>>& pieces) {
  PickValues out;
  if (pieces.empty()) return out;
  out.p_ = std::make_shared<Payload>();
  out.p_->blocks.push_back(std::move(text));
  std::string_view kept = out.p_->blocks.back();
  out.p_->views.reserve(pieces.size());
  for (const auto& [at, len] : pieces) out.p_->views.push_back(kept.substr(at, len));
  out.p_->count = pieces.size();
  return out;
}

const std::vector<std::string_view>& PickValues::views() const {
  if (!p_->views_made) {
    std::string_view rest = *p_->joined;
    p_->views.reserve(p_->count);
    for (std::size_t nl; (nl = rest.find('\n')) != std::string_view::npos;) {
      p_->views.push_back(rest.substr(0, nl));
      rest.remove_prefix(nl + 1);
    }
    p_->views.push_back(rest);
    p_->views_made = true;
  }
  return p_->views;
}

PickValues PickValues::of_views(const std::vector<std::string_view>& views) {
  if (views.empty()) return PickValues();
  std::size_t total = 0;
  for (std::string_view v : views) total += v.size();
  std::string block;
  block.reserve(total);
  std::vector<std::pair<std::size_t, std::size_t>> pieces;
  pieces.reserve(views.size());
  for (std::string_view v : views) {
    pieces.emplace_back(block.size(), v.size());
    block.append(v);
  }
  return of_text(std::move(block), pieces);
}

PickValues PickValues::of_lines(std::string text, std::size_t max_length) {
  PickValues out;
  std::string_view t(text);
  t = t.substr(0, t.find('\0'));
  // First pass: do the lines hold exactly the values, one per line (no
  // indentation, no empty lines, none too long)? Then the text itself is
  // the joined list, and the values need no views until somebody asks.
  std::size_t count = 0;
  bool joined = true;
  for (std::size_t pos = 0; pos < t.size();) {
    std::size_t nl = t.find('\n', pos);
    std::size_t stop = nl == std::string_view::npos ? t.size() : nl;
    if (stop == pos || is_white(t[pos]) || stop - pos > max_length) {
      joined = false;
      break;
    }
    ++count;
    pos = stop + 1;
  }
  auto payload = std::make_shared<Payload>();
  payload->blocks.push_back(std::move(text));
  t = std::string_view(payload->blocks.back()).substr(0, t.size());
  if (joined) {
    if (count == 0) return out;
    if (t.back() == '\n') t.remove_suffix(1);
    payload->joined = t;
    payload->count = count;
    payload->views_made = false;
    payload->plain = plain_text(t, true) ? 1 : 0;
    out.p_ = std::move(payload);
    return out;
  }
  const char* p = t.data();
  const char* end = p + t.size();
  // White space (empty lines, indentation) before each value, then the
  // value up to its line's end.
  for (;;) {
    while (p < end && is_white(*p)) ++p;
    if (p == end) break;
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* stop = nl != nullptr ? nl : end;
    payload->views.emplace_back(p, std::min(static_cast<std::size_t>(stop - p), max_length));
    p = stop;
  }
  if (payload->views.empty()) return out;
  payload->count = payload->views.size();
  out.p_ = std::move(payload);
  return out;
}

bool PickValues::strictly_sorted() const {
  if (!p_) return true;
  if (p_->views_made)
    return std::adjacent_find(p_->views.begin(), p_->views.end(),
                              std::greater_equal<std::string_view>()) == p_->views.end();
  // Line by line through the joined text, without making the views.
  std::string_view rest = *p_->joined;
  std::string_view last;
  bool first = true;
  for (;;) {
    std::size_t nl = rest.find('\n');
    std::string_view value = rest.substr(0, nl);
    if (!first && !(last < value)) return false;
    first = false;
    last = value;
    if (nl == std::string_view::npos) return true;
    rest.remove_prefix(nl + 1);
  }
}

void PickValues::push_back(std::string_view v) {
  if (!p_) {
    p_ = std::make_shared<Payload>();
  } else if (p_.use_count() > 1 || p_->joined) {
    *this = of_views(views());
  }
  p_->blocks.emplace_back(v);
  p_->views.emplace_back(p_->blocks.back());
  ++p_->count;
  p_->plain = -1;
}

bool PickValues::plain() const {
  if (!p_) return true;
  if (p_->plain < 0) {
    bool plain = true;
    for (std::string_view v : views()) plain = plain && plain_text(v, false);
    p_->plain = plain ? 1 : 0;
  }
  return p_->plain == 1;
}

__attribute__((noinline)) bool PickValues::plain_text(std::string_view text, bool lines) {
  // Branch-free, so that the compiler can run it over many bytes at once.
  const unsigned char newline = lines ? '\n' : '\t';
  unsigned char bad = 0;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    bad |= static_cast<unsigned char>((c == '&') | ((c < 0x20) & (c != '\t') & (c != newline)));
  }
  return bad == 0;
}

bool PickFileKey::operator<(const PickFileKey& o) const {
  return std::tie(dev, ino, kind, field) < std::tie(o.dev, o.ino, o.kind, o.field);
}

PickTable::PickTable() : entries(kPickTableInitial) {
  entries.back().kind = PL_END;
}

int add2buffer(GrowBuffer& buf, std::string_view text) {
  if (text.size() > buf.limit || buf.data.size() > buf.limit - text.size()) return 0;
  std::size_t needed = buf.data.size() + text.size() + 1;
  if (buf.capacity == 0) buf.capacity = kGrowBufferInitial;
  while (needed >= buf.capacity) {
    if (buf.capacity > SIZE_MAX / 2) {
      buf.capacity = needed;
      break;
    }
    buf.capacity *= 2;
  }
  buf.data.reserve(buf.capacity);
  buf.data.append(text);
  return 1;
}

int add2buffer(GrowBuffer& buf, const char* text) {
  if (text == nullptr) return 0;
  return add2buffer(buf, std::string_view(text));
}

int picklist_kind(std::string_view line) {
  return parse_picklist_line(line).kind;
}

std::optional<std::string> get_oneof_name(std::string_view line) {
  LineParts parts = parse_picklist_line(line);
  if (parts.kind == PL_FREE || parts.name_end == parts.name_begin) return std::nullopt;
  return std::string(line.substr(parts.name_begin, parts.name_end - parts.name_begin));
}

std::optional<std::string> oneof2buf(std::string_view name, std::string_view search_path,
                                     int kind) {
  if (kind != PL_FILE && kind != PL_RECORD) return std::nullopt;
  FileRef ref = file_ref(name, kind);
  std::optional<std::string> path = find_help_file(ref.file, search_path);
  if (!path) return std::nullopt;
  return file_text(*path, ref.field);
}

std::optional<std::vector<std::string>> buf2values(std::optional<std::string_view> text, int kind) {
  if (!text) return std::nullopt;
  std::string_view t = text->substr(0, text->find('\0'));
  std::vector<std::string> values;
  if (kind == PL_FILE) {
    for (std::size_t pos = skip_space(t, 0); pos != npos;) {
      std::size_t nl = t.find('\n', pos);
      add_value(values, t.substr(pos, nl == npos ? npos : nl - pos));
      pos = nl == npos ? npos : skip_space(t, nl + 1);
    }
  } else {
    // Line by line, so that no value ever holds a newline.
    for (std::size_t start = 0; start < t.size();) {
      std::size_t nl = t.find('\n', start);
      std::string_view line = t.substr(start, nl == npos ? npos : nl - start);
      for (std::size_t at = skip_space(line, 0); at != npos; at = next_token(line, at))
        add_value(values, token_at(line, at));
      if (nl == npos) break;
      start = nl + 1;
    }
  }
  if (values.empty()) return std::nullopt;
  return values;
}

Picklist get_oneof_from_line(std::string_view line, std::string_view search_path,
                             std::map<PickFileKey, PickValues>* files) {
  LineParts parts = parse_picklist_line(line);
  if (parts.kind == PL_FREE || parts.name_end == parts.name_begin) return Picklist{};
  Picklist p;
  p.kind = parts.kind;
  p.name = std::string(line.substr(parts.name_begin, parts.name_end - parts.name_begin));
  if (p.kind == PL_LIST) {
    auto values = buf2values(p.name, PL_LIST);
    if (values) p.values = *values;
  } else if (auto values = file_values(p.name, search_path, p.kind, files)) {
    p.values = std::move(*values);
  }
  return p;
}

std::size_t which_oneof(const PickTable& table, std::string_view name) {
  for (std::size_t i = 0; i < table.entries.size(); ++i) {
    const Picklist& p = table.entries[i];
    if (!is_loaded(p) || p.name == name) return i;
  }
  return table.entries.size() - 1;
}

PickTable& load_oneof(std::string_view line, std::optional<PickTable>& table,
                      std::string_view search_path) {
  if (!table) table.emplace();
  std::optional<std::string> name = get_oneof_name(line);
  if (!name) return *table;
  std::size_t i = which_oneof(*table, *name);
  if (is_loaded(table->entries[i])) return *table;  // cached: read once per name
  Picklist p = get_oneof_from_line(line, search_path, &table->files);
  if (p.kind == PL_FREE) return *table;
  make_room(*table, i);
  table->entries[i] = std::move(p);
  return *table;
}

std::optional<std::vector<std::string>> pl_get_oneof(std::string_view line,
                                                     std::string_view search_path) {
  Picklist p = get_oneof_from_line(line, search_path);
  if (p.values.empty()) return std::nullopt;
  return p.values.strings();
}

Picklist* pl_find_oneof(std::optional<PickTable>& table, std::string_view line,
                        std::string_view search_path) {
  if (!table) return nullptr;
  std::optional<std::string> name = get_oneof_name(line);
  if (!name) return nullptr;
  load_oneof(line, table, search_path);
  Picklist& p = table->entries[which_oneof(*table, *name)];
  if (!is_loaded(p) || p.values.empty()) return nullptr;
  return &p;
}

Picklist* pl_merge_oneofs(std::optional<PickTable>& table, std::string_view text,
                          std::string_view search_path, std::size_t* slot) {
  if (!table) return nullptr;
  std::size_t m = first_free(*table);
  make_room(*table, m);
  table->entries[m] = Picklist{PL_LIST, "", {}};
  if (slot != nullptr) *slot = m;
  // Merging list by list and then sorting gives the sorted union: gather,
  // sort and drop repeats in one go instead. The lists are held by value
  // (they share their texts): the table may move its entries meanwhile.
  std::vector<PickValues> sources;
  for (std::string_view word : kPicklistWords) {
    for (std::size_t at = next_filter(text, 0, word); at != npos;) {
      if (const Picklist* src = pl_find_oneof(table, text.substr(at), search_path))
        sources.push_back(src->values);
      std::size_t next = after_line(text, at);
      at = next == npos ? npos : next_filter(text, next, word);
    }
  }
  if (sources.empty()) return nullptr;
  // pl_find_oneof may have grown the table: index the merged entry afresh.
  Picklist& entry = table->entries[m];
  // One list kept sorted already (a common way to keep them) is its own
  // union: it is shared, not copied.
  if (sources.size() == 1 && sources.front().strictly_sorted()) {
    entry.values = sources.front();
    return &entry;
  }
  std::vector<std::string_view> merged;
  bool plain = true;
  for (const PickValues& src : sources) {
    merged.insert(merged.end(), src.begin(), src.end());
    plain = plain && src.plain();
  }
  // Byte order (char_traits compare).
  if (!std::is_sorted(merged.begin(), merged.end())) std::sort(merged.begin(), merged.end());
  merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
  entry.values = PickValues::of_views(merged);
  entry.values.set_plain(plain);
  return &entry;
}

Picklist* pl_merge_oneofs(std::optional<PickTable>& table, std::string_view text,
                          std::string_view search_path) {
  return pl_merge_oneofs(table, text, search_path, nullptr);
}

void merge_list(const Picklist& src, Picklist& dst) {
  if (!is_loaded(src)) fatal("AHHH! merge_list");
  if (dst.kind == PL_FREE) {
    dst.kind = PL_LIST;
    dst.values = PickValues();
  }
  // A set instead of finddups per value: project lists can be long. Its
  // views point into dst's values and src's, which stay where they are
  // while values are appended.
  std::unordered_set<std::string_view> held(dst.values.begin(), dst.values.end());
  for (std::string_view v : src.values)
    if (held.emplace(v).second) dst.values.push_back(v);
}

bool finddups(const std::vector<std::string>& values, std::string_view value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

void pl_free_picklists(std::optional<PickTable>& table) {
  table.reset();
}

}  // namespace plix

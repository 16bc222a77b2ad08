#include "util/strarray.h"

#include <new>

namespace plix {

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\r\v\f";

// Appends the tokens of text between runs of delimiters to out.
void split_runs(StrArray& out, std::string_view text, std::string_view delimiters) {
  std::size_t pos = text.find_first_not_of(delimiters);
  while (pos != std::string_view::npos) {
    std::size_t end = text.find_first_of(delimiters, pos);
    out.emplace_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) break;
    pos = text.find_first_not_of(delimiters, end);
  }
}

}  // namespace

StrArray strarray_create(std::string_view text, std::string_view delimiters) {
  StrArray out;
  if (!text.empty() && !delimiters.empty()) split_runs(out, text, delimiters);
  return out;
}

StrArray fullstrarray_create(std::string_view text, std::string_view delimiters) {
  StrArray out;
  if (text.empty() || delimiters.empty()) return out;
  const char sep = delimiters.front();
  std::size_t pos = 0;
  for (;;) {
    std::size_t end = text.find(sep, pos);
    if (end == std::string_view::npos) {
      out.emplace_back(text.substr(pos));
      return out;
    }
    out.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

StrArray quoted_strarray_create(std::string_view text) {
  StrArray out;
  std::size_t pos = 0;
  while ((pos = text.find_first_not_of(kWhiteSpace, pos)) != std::string_view::npos) {
    const char c = text[pos];
    std::size_t begin, end, next;
    if (c == '"' || c == '\'') {
      begin = pos + 1;
      end = text.find(c, begin);
      if (end == std::string_view::npos) end = text.size();
      next = end < text.size() ? end + 1 : end;
    } else {
      begin = pos;
      end = text.find_first_of(kWhiteSpace, begin);
      if (end == std::string_view::npos) end = text.size();
      next = end;
    }
    if (end > begin) out.emplace_back(text.substr(begin, end - begin));
    pos = next;
  }
  return out;
}

StrArray& strarray_append(StrArray& array, std::string_view text, std::string_view delimiters) {
  if (text.empty() || delimiters.empty()) return array;
  const std::size_t old_size = array.size();
  try {
    split_runs(array, text, delimiters);
  } catch (const std::bad_alloc&) {
    array.resize(old_size);
    throw;
  }
  return array;
}

StrArray& strarray_addline(StrArray& array, std::string_view line) {
  if (!line.empty()) array.emplace_back(line);
  return array;
}

StrArray& strarray_addline(StrArray& array, const char* line) {
  return line ? strarray_addline(array, std::string_view(line)) : array;
}

StrArray strarray_create_empty() {
  return StrArray();
}

StrArray strarray_get_subset(const StrArray& array, int first, int last) {
  const int count = strarray_count(array);
  if (first < 0) first = 0;
  if (last < 0 || last >= count) last = count - 1;
  if (first > last) return StrArray();
  return StrArray(array.begin() + first, array.begin() + last + 1);
}

std::string strarray_join(const StrArray& array, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < array.size(); ++i) {
    if (i > 0) out += separator;
    out += array[i];
  }
  return out;
}

const std::string* strarray_search(const StrArray& array, std::string_view text) {
  for (const std::string& entry : array) {
    if (entry == text) return &entry;
  }
  return nullptr;
}

int strarray_index(const StrArray& array, std::string_view text) {
  const std::string* found = strarray_search(array, text);
  return found ? static_cast<int>(found - array.data()) : -1;
}

int strarray_count(const StrArray& array) {
  return static_cast<int>(array.size());
}

void strarray_free(StrArray& array) {
  StrArray().swap(array);
}

}  // namespace plix

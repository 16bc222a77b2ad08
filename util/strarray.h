// String arrays: ordered lists of owned texts, made by splitting a text in
// one of three ways and extended, searched, sliced and joined.
//
//   strarray_create        "a,,b" with ","  -> a b          (runs of delimiters)
//   fullstrarray_create    "a,,b" with ","  -> a "" b       (every first delimiter)
//   quoted_strarray_create "x 'y z'"        -> x "y z"      (white space, quotes)
//
// An array without entries stands for the null array as well: every function
// accepts it, and functions whose result would be null return it.
// Allocation failure throws std::bad_alloc; the adding functions then leave
// the array as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plix {

using StrArray = std::vector<std::string>;

/// The tokens of text between runs of any of the delimiter characters; no
/// empty tokens. Empty for an empty text or delimiter set.
StrArray strarray_create(std::string_view text, std::string_view delimiters);

/// The fields of text split at every occurrence of delimiters[0] (the other
/// characters are not used), empty fields kept: "a:b::" -> a b "" "".
/// Empty for an empty text or delimiter set.
StrArray fullstrarray_create(std::string_view text, std::string_view delimiters);

/// The white-space separated words of text. A word that begins with ' or "
/// runs to the next mark of the same kind (or the end) and is taken without
/// the marks; a mark inside an unquoted word is an ordinary character. Empty
/// quoted words are left out.
StrArray quoted_strarray_create(std::string_view text);

/// Appends the tokens of text as strarray_create splits them; an empty text
/// or delimiter set changes nothing. Returns array.
StrArray& strarray_append(StrArray& array, std::string_view text, std::string_view delimiters);

/// Appends a copy of line unless it is null or empty. Returns array.
StrArray& strarray_addline(StrArray& array, std::string_view line);
StrArray& strarray_addline(StrArray& array, const char* line);

/// An array without entries.
StrArray strarray_create_empty();

/// Copies of the entries first to last, both included, counted from 0. A
/// negative last, or one beyond the end, means the last entry; a negative
/// first means 0. first beyond last or beyond the end gives no entries.
StrArray strarray_get_subset(const StrArray& array, int first, int last);

/// All entries with separator between neighbours; "" for no entries.
std::string strarray_join(const StrArray& array, std::string_view separator);

/// The first entry equal to text (exact comparison), or null. The pointer
/// is valid until the array changes.
const std::string* strarray_search(const StrArray& array, std::string_view text);

/// The index of the first entry equal to text, or -1.
int strarray_index(const StrArray& array, std::string_view text);

/// The number of entries.
int strarray_count(const StrArray& array);

/// Releases every entry; the array is left without entries.
void strarray_free(StrArray& array);

}  // namespace plix

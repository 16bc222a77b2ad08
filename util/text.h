// Small text helpers used throughout: copying a possibly-null text, testing
// for blank text, and cutting a text at its first newline.
//
// A "null" text from C-style callers arrives as a null const char*; the
// overloads taking one treat it as the empty text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plix {

/// A new copy of text; a null text gives the empty text. Allocation failure
/// throws std::bad_alloc.
std::string strsave(const char* text);
std::string strsave(std::string_view text);

/// True when the text is null or holds only blank, tab, newline, carriage
/// return, vertical tab or form feed.
bool empty_string(const char* text);
bool empty_string(std::string_view text);

/// Index of the last character of text; std::string::npos for an empty text.
std::size_t endof(std::string_view text);

/// Cuts the text at its first newline (the newline and all after it go).
void killnl(std::string& text);
/// The same on a C buffer, which is cut in place; null is ignored.
void killnl(char* text);

}  // namespace plix

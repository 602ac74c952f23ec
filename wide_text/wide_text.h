// UTF-16 and UTF-8, and Windows' long path form: what a Windows build needs
// to hand any path a user can type to the system. Pure functions, so that
// every platform tests them.
#ifndef TARNWICK_WIDE_TEXT_H
#define TARNWICK_WIDE_TEXT_H

#include <cstddef>
#include <string_view>

// A wchar_t holds one UTF-16 code unit. A lone surrogate, which a Windows
// file name may hold, is carried through as its own three-byte sequence, so
// that a name converts back to exactly the units it came from. Each gives
// the units written, terminator included, or 0 when `capacity` is too small.

std::size_t utf16_to_utf8(std::wstring_view text, char* out,
                          std::size_t capacity);
std::size_t utf8_to_utf16(std::string_view text, wchar_t* out,
                          std::size_t capacity);

// A full path (drive or UNC) in the form that lifts Windows' 260-character
// limit: C:\x becomes \\?\C:\x, \\server\share becomes \\?\UNC\server\share.
// A path already in a \\?\ or \\.\ form is given as it is.
std::size_t extended_length_path(std::wstring_view full_path, wchar_t* out,
                                 std::size_t capacity);

#endif

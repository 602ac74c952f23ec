// What the Windows files of the platform share: paths in UTF-16 and in
// the long form, the system's errors in words and in <cerrno>'s numbers,
// and the kinds of reparse point. Included only by the win32/ files.
#ifndef TARNWICK_INSPECT_PLATFORM_WIN32_SYSTEM_H
#define TARNWICK_INSPECT_PLATFORM_WIN32_SYSTEM_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "model/report.h"

// A walk's directory: Windows opens entries by their whole path.
struct Directory {
  std::string path;
};

// UTF-8 to UTF-16 and back; a sequence that is not well formed becomes
// U+FFFD.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

// A failure of the system, in its own words and as <cerrno> numbers it.
SystemError reason(DWORD error);

// The path as the system takes it: as typed below 260 characters, and in
// the long form, made from the full path, above. Empty when it cannot be
// made.
std::wstring system_path(const std::string& path);

bool names_directory(const std::wstring& path);

// Only these reparse points are links; the rest (deduplicated files,
// files compressed by the system, cloud files) are files that read as any
// other does.
bool is_link_tag(DWORD tag);

// A path whose UTF-8 holds a NUL in a longer form (C0 80, E0 80 80) would
// reach the system cut short at it: the name checked would not be the file
// opened.
bool hides_a_nul(const std::string& path);

// The error says that nothing is there.
bool names_nothing(DWORD error);

inline HANDLE handle_of(std::intptr_t handle) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): it was a handle to begin with
  return reinterpret_cast<HANDLE>(handle);
}

#endif

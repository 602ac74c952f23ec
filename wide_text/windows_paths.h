// The command line and paths as the two programs meet Windows: UTF-16 from
// the system, UTF-8 inside. Windows only: windows_paths_win32.cpp.
#ifndef TARNWICK_WINDOWS_PATHS_H
#define TARNWICK_WINDOWS_PATHS_H

#include <cstddef>
#include <string_view>

// The longest command line, and the longest path, that Windows holds, in
// UTF-16 units with the terminator.
inline constexpr std::size_t WINDOWS_TEXT_UNITS = 32768;

// The process's UTF-16 arguments as UTF-8, converted once into static
// storage, with a null pointer after the last; null when they do not fit,
// which no command line that Windows makes does.
char** utf8_arguments(int argc, wchar_t** argv);

// Where one path is made on its way to the system.
struct SystemPathBuffers {
  wchar_t typed[WINDOWS_TEXT_UNITS];
  wchar_t full[WINDOWS_TEXT_UNITS];
  wchar_t long_form[WINDOWS_TEXT_UNITS + 8];
};

// `path`, in UTF-8, as the system is to be given it: as typed below 260
// characters, and above that in the long form, made from the full path
// that the system itself resolves. Null when it cannot be made.
const wchar_t* system_path(std::string_view path, SystemPathBuffers& buffers);

#endif

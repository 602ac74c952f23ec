// Opening, reading and printing on Windows. The tool works on UTF-8
// throughout; only here does it meet Windows' UTF-16, so that any path a
// user can type names the file it names, whatever the code page.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform.h"
#include "wide_text.h"
#include "windows_paths.h"

namespace {

// One path on its way to the system.
SystemPathBuffers path_buffers;

// A message as the console shows it: the path and some fifty characters.
wchar_t console_text[WINDOWS_TEXT_UNITS + 256];

// The handle of a file that open_for_reading gave: it travels through the
// platform-neutral InputFile as an integer.
HANDLE handle_of(InputFile file) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): it was a pointer to begin with
  return reinterpret_cast<HANDLE>(file);
}

}  // namespace

InputFile open_for_reading(const char* path) {
  const wchar_t* name = system_path(path, path_buffers);
  if (name == nullptr) return NO_FILE;
  // Others may read, write, rename and delete the file while it is read:
  // a spool folder's mover must never find it held.
  const HANDLE file =
      CreateFileW(name, GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return NO_FILE;
  // Without backup semantics a directory does not open; should a system let
  // one through, it is refused here all the same.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(file);
    return NO_FILE;
  }
  return reinterpret_cast<InputFile>(file);
}

std::size_t read_up_to(InputFile file, unsigned char* buffer,
                       std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity) {
    DWORD got = 0;
    if (!ReadFile(handle_of(file), buffer + length,
                  static_cast<DWORD>(capacity - length), &got, nullptr) ||
        got == 0)
      break;
    length += got;
  }
  return length;
}

void close_vardek_file(InputFile file) { CloseHandle(handle_of(file)); }

void print_message(const char* format, const char* path) {
  // A pipe or a file gets the UTF-8 bytes; a console is written in UTF-16,
  // so that it shows the path as typed whatever its code page.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE ||
      !GetConsoleMode(out, &mode)) {
    static_cast<void>(std::printf(format, path));
    return;
  }
  // Every message has one %s and ends in a newline, written as CR LF.
  const char* conversion = std::strstr(format, "%s");
  const std::string_view before(format,
                                static_cast<std::size_t>(conversion - format));
  const std::string_view after(conversion + 2, std::strlen(conversion + 2) - 1);
  std::size_t size = 0;
  for (const std::string_view piece :
       {before, std::string_view(path), after, std::string_view("\r\n")}) {
    const std::size_t written =
        utf8_to_utf16(piece, console_text + size,
                      sizeof console_text / sizeof *console_text - size);
    if (written == 0) break;  // longer than any path: shown cut short
    size += written - 1;
  }
  DWORD shown = 0;
  static_cast<void>(std::fflush(stdout));
  static_cast<void>(WriteConsoleW(out, console_text, static_cast<DWORD>(size),
                                  &shown, nullptr));
}

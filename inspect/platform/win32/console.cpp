// The standard streams on Windows: the report as UTF-16 on a console, as
// UTF-8 bytes elsewhere.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/console.h"
#include "platform/errors.h"
#include "platform/win32/system.h"

bool write_output(std::string_view bytes) {
  // A console shows UTF-16 as typed whatever its code page; a pipe or a
  // file gets the UTF-8 bytes.
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode))
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  std::wstring text;
  for (const wchar_t unit : wide(bytes)) {
    if (unit == L'\n') text += L'\r';
    text += unit;
  }
  static_cast<void>(std::fflush(stdout));
  DWORD shown = 0;
  return WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &shown,
                       nullptr) != 0;
}

void keep_on_broken_pipes() {}  // a failed write fails here already

bool error_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") {
    static_cast<void>(_setmode(_fileno(stdin), _O_BINARY));
    return stdin;
  }
  std::FILE* list = _wfopen(system_path(path).c_str(), L"rb");
  if (list == nullptr) error = error_text(errno);
  return list;
}

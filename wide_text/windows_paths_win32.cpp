// The command line and paths on their way between Windows and the programs.
// No heap: the tool uses these too.
#include <windows.h>

#include "wide_text.h"
#include "windows_paths.h"

char** utf8_arguments(int argc, wchar_t** argv) {
  // Each UTF-16 unit becomes at most three bytes, and every argument but an
  // empty one takes at least one unit of the command line.
  static char text[4 * WINDOWS_TEXT_UNITS];
  static char* arguments[WINDOWS_TEXT_UNITS];
  std::size_t used = 0;
  if (argc < 0 || static_cast<std::size_t>(argc) >= WINDOWS_TEXT_UNITS)
    return nullptr;
  for (int i = 0; i < argc; ++i) {
    const std::size_t written =
        utf16_to_utf8(argv[i], text + used, sizeof text - used);
    if (written == 0) return nullptr;
    arguments[i] = text + used;
    used += written;
  }
  arguments[argc] = nullptr;
  return arguments;
}

const wchar_t* system_path(std::string_view path, SystemPathBuffers& buffers) {
  if (utf8_to_utf16(path, buffers.typed, WINDOWS_TEXT_UNITS) == 0)
    return nullptr;
  // Below 260 characters the path goes to the system as typed. A longer one
  // opens only in the long form, which takes the path literally, so it is
  // made from the full path that the system itself resolves.
  const DWORD full = GetFullPathNameW(buffers.typed, WINDOWS_TEXT_UNITS,
                                      buffers.full, nullptr);
  if (full >= WINDOWS_TEXT_UNITS) return nullptr;
  if (full < MAX_PATH) return buffers.typed;
  if (extended_length_path({buffers.full, full}, buffers.long_form,
                           sizeof buffers.long_form /
                               sizeof *buffers.long_form) == 0)
    return nullptr;
  return buffers.long_form;
}

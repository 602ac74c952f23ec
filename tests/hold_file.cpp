// Holds a file open the way another Windows program would (a mover, a
// writer) and says "held" once it has it; lets go after a few seconds.
//   hold_file read-delete|write PATH
#include <windows.h>

#include <cstdio>
#include <cwchar>

extern "C" int wmain(int argc, wchar_t** argv);
extern "C" int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const bool write = std::wcscmp(argv[1], L"write") == 0;
  const HANDLE file = CreateFileW(
      argv[2], write ? GENERIC_WRITE : GENERIC_READ | DELETE,
      write ? FILE_SHARE_READ
            : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::puts(file == INVALID_HANDLE_VALUE ? "refused" : "held");
  std::fflush(stdout);
  Sleep(3000);
  return 0;
}

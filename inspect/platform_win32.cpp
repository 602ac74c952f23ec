// Listing, opening, reading and the standard streams on Windows. Paths are
// UTF-8 everywhere else; here they meet the system in UTF-16, in the long
// form when they are long, and files are opened sharing reading, writing
// and deletion, as the tool opens them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "console.h"
#include "directories.h"
#include "system_file.h"
#include "wide_text.h"
#include "windows_paths.h"

struct Directory {
  std::string path;
};

const char PATH_SEPARATOR = '\\';

namespace {

std::wstring wide(std::string_view text) {
  std::wstring out(text.size() + 1, L'\0');  // a byte makes at most one unit
  const std::size_t units = utf8_to_utf16(text, out.data(), out.size());
  out.resize(units == 0 ? 0 : units - 1);
  return out;
}

std::string narrow(std::wstring_view text) {
  std::string out(3 * text.size() + 1, '\0');  // a unit makes at most three
  const std::size_t bytes = utf16_to_utf8(text, out.data(), out.size());
  out.resize(bytes == 0 ? 0 : bytes - 1);
  return out;
}

std::string reason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      size == 0 ? "error " + std::to_string(error) : narrow({text, size});
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' ||
          message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

// The path as the system takes it: as typed below 260 characters, and in
// the long form, made from the full path, above. Empty when it cannot be
// made.
std::wstring system_path(const std::string& path) {
  thread_local const std::unique_ptr<SystemPathBuffers> buffers =
      std::make_unique<SystemPathBuffers>();
  const wchar_t* converted = system_path(path, *buffers);
  return converted == nullptr ? std::wstring() : std::wstring(converted);
}

bool names_directory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HANDLE handle_of(std::intptr_t handle) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): it was a handle to begin with
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

Listing list_directory(const Directory* /*parent*/, const std::string& /*name*/,
                       const std::string& path) {
  Listing listing;
  std::wstring pattern = system_path(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
    pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      listing.error = reason(error);
      return listing;
    }
  } else {
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const DWORD attributes = found.dwFileAttributes;
      const EntryKind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                                 ? EntryKind::symlink
                             : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                 ? EntryKind::directory
                                 : EntryKind::regular;
      listing.entries.push_back({narrow(name), kind});
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
      listing.entries.clear();
      listing.error = reason(error);
      return listing;
    }
  }
  listing.directory = std::make_shared<const Directory>(Directory{path});
  return listing;
}

bool is_directory(const std::string& path) {
  return names_directory(system_path(path));
}

SystemFile::SystemFile(const Directory* parent, const std::string& /*name*/,
                       const std::string& path)
    : in_walk_(parent != nullptr) {
  const std::wstring name = system_path(path);
  // In a walk, a link put in the file's place is opened as itself, and
  // then refused.
  const DWORD flags =
      FILE_ATTRIBUTE_NORMAL | (in_walk_ ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE file = CreateFileW(
      name.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    // A directory does not open without backup semantics: say so, not
    // "access is denied".
    failure_ = names_directory(name) ? std::strerror(EISDIR) : reason(failure);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

SystemFile::~SystemFile() {
  if (is_open()) CloseHandle(handle_of(handle_));
}

bool SystemFile::query(EntryKind& kind, std::uint64_t& size) {
  const HANDLE file = handle_of(handle_);
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = GetFileType(file);
  if (!GetFileInformationByHandle(file, &info) && type == FILE_TYPE_DISK) {
    failure_ = reason(GetLastError());
    return false;
  }
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
         info.nFileSizeLow;
  // FILETIME counts 100 ns from 1601; 11644473600 s lie before 1970.
  modified_ = static_cast<std::int64_t>(
                  (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                   info.ftLastWriteTime.dwLowDateTime) / 10000000) - 11644473600;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    kind = EntryKind::directory;
  else if (in_walk_ &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    kind = EntryKind::symlink;
  else if (type == FILE_TYPE_DISK)
    kind = EntryKind::regular;
  else if (type == FILE_TYPE_PIPE)
    kind = EntryKind::fifo;
  else
    kind = EntryKind::other;
  return true;
}

bool SystemFile::wait_for_data() { return true; }  // reads always wait here

std::int64_t SystemFile::read_at(unsigned char* buffer, std::size_t size,
                                 std::uint64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  if (!ReadFile(handle_of(handle_), buffer, static_cast<DWORD>(size), &got,
                &where) &&
      GetLastError() != ERROR_HANDLE_EOF) {
    failure_ = reason(GetLastError());
    return -1;
  }
  return got;
}

std::int64_t SystemFile::read_on(unsigned char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(handle_of(handle_), buffer, static_cast<DWORD>(size), &got,
                nullptr)) {
    // A pipe whose writer has gone has simply ended.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    failure_ = reason(GetLastError());
    return -1;
  }
  return got;
}

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

bool error_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void raise_open_file_limit() {}  // a walk holds no handle to a directory

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") {
    static_cast<void>(_setmode(_fileno(stdin), _O_BINARY));
    return stdin;
  }
  std::FILE* list = _wfopen(system_path(path).c_str(), L"rb");
  if (list == nullptr) error = std::strerror(errno);
  return list;
}

// Listing, opening, reading and the standard streams on Windows. Paths are
// UTF-8 everywhere else; here they meet the system in UTF-16, in the long
// form when they are long, and files are opened sharing reading, writing
// and deletion, as the tool opens them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
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

// The number <cerrno> gives the same failure, as scripts match it; 0 when
// none fits.
int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return EIO;
    case ERROR_SEM_TIMEOUT: return ETIMEDOUT;
    default: return 0;
  }
}

std::string message_of(DWORD error) {
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

SystemError reason(DWORD error) { return {message_of(error), errno_of(error)}; }

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

// Only these reparse points are links; the rest (deduplicated files,
// files compressed by the system, cloud files) are files that read as any
// other does.
bool is_link_tag(DWORD tag) {
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

// A path whose UTF-8 holds a NUL in a longer form (C0 80, E0 80 80) would
// reach the system cut short at it: the name checked would not be the file
// opened.
bool hides_a_nul(const std::string& path) {
  return wide(path).find(L'\0') != std::wstring::npos;
}

bool names_nothing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The volume a directory is on, or 0 when it cannot be told.
std::uint64_t volume_of(const std::string& path) {
  const HANDLE directory = CreateFileW(
      system_path(path).c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (directory == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(directory, &info) != 0;
  CloseHandle(directory);
  return known ? info.dwVolumeSerialNumber : 0;
}

HANDLE handle_of(std::intptr_t handle) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): it was a handle to begin with
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string error_text(int error) {
  char buffer[256];
  if (strerror_s(buffer, sizeof buffer, error) != 0) return "Unknown error";
  return buffer;
}

Listing list_directory(const Directory* parent, const std::string& /*name*/,
                       const std::string& path,
                       const std::uint64_t* same_device) {
  Listing listing;
  if (same_device != nullptr || parent == nullptr) {
    listing.device = volume_of(path);
    if (same_device != nullptr && listing.device != *same_device) {
      listing.other_device = true;
      return listing;
    }
  }
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
      listing.vanished = parent != nullptr && error == ERROR_PATH_NOT_FOUND;
      listing.error = reason(error);
      return listing;
    }
  } else {
    do {
      const std::wstring_view name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const DWORD attributes = found.dwFileAttributes;
      // For a reparse point, the listing gives its tag here.
      const EntryKind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                                     is_link_tag(found.dwReserved0)
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
  return !hides_a_nul(path) && names_directory(system_path(path));
}

bool path_exists(const std::string& path) {
  // A name that the system refuses (a control character, a NUL) names
  // nothing either.
  if (hides_a_nul(path)) return false;
  if (GetFileAttributesW(system_path(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  return !names_nothing(error) && error != ERROR_INVALID_NAME && error != ERROR_BAD_PATHNAME;
}

SystemFile::SystemFile(const Directory* parent, const std::string& /*name*/,
                       const std::string& path)
    : in_walk_(parent != nullptr) {
  if (hides_a_nul(path)) {
    failure_ = reason(ERROR_INVALID_NAME);
    return;
  }
  const std::wstring name = system_path(path);
  const auto open = [&](DWORD flags) {
    return CreateFileW(name.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags,
                       nullptr);
  };
  // In a walk, a link put in the file's place is opened as itself, and
  // then refused; any other reparse point is opened again as the file it
  // stands for.
  HANDLE file = open(in_walk_ ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  if (file != INVALID_HANDLE_VALUE && in_walk_) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag,
                                     sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      link_tag_ = is_link_tag(tag.ReparseTag);
      if (!link_tag_) {
        CloseHandle(file);
        file = open(0);
      }
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    gone_ = names_nothing(failure);
    // A directory does not open without backup semantics: say so, not
    // "access is denied".
    failure_ = names_directory(name) ? system_error(EISDIR) : reason(failure);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

bool SystemFile::modified_within(std::int64_t seconds) {
  FILETIME written{}, now{};
  if (!GetFileTime(handle_of(handle_), nullptr, nullptr, &written)) return false;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& time) {  // 100 ns each
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
        time.dwLowDateTime);
  };
  return ticks(now) - ticks(written) < seconds * 10'000'000;
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
  else if (in_walk_ && link_tag_ &&
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

std::size_t open_directories() { return 0; }

std::size_t directory_budget(unsigned /*jobs*/) { return SIZE_MAX; }

unsigned threads_within_descriptors(unsigned wanted) { return wanted; }

// Windows does not count a thread's waits: the threads stay one a core.
std::uint64_t waits_of_this_thread() { return 0; }

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") {
    static_cast<void>(_setmode(_fileno(stdin), _O_BINARY));
    return stdin;
  }
  std::FILE* list = _wfopen(system_path(path).c_str(), L"rb");
  if (list == nullptr) error = error_text(errno);
  return list;
}

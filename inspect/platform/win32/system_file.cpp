// One file opened for reading on Windows, sharing reading, writing and
// deletion with every other program, as the tool opens it.
#include <windows.h>

#include <cerrno>
#include <cstdint>

#include "platform/errors.h"
#include "platform/system_file.h"
#include "platform/win32/system.h"

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
      // A link to a directory is refused as the directory it names.
      link_ = is_link_tag(tag.ReparseTag) &&
              (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      if (!is_link_tag(tag.ReparseTag)) {
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

bool SystemFile::modified_within(std::chrono::milliseconds age) {
  FILETIME written{}, now{};
  if (!GetFileTime(handle_of(handle_), nullptr, nullptr, &written)) return false;
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& time) {  // 100 ns each
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
        time.dwLowDateTime);
  };
  return ticks(now) - ticks(written) < age.count() * 10'000;
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

// Listing a directory on Windows, by its path in UTF-16: the listing gives
// each entry's kind, and for a reparse point its tag.
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "platform/directories.h"
#include "platform/win32/system.h"

const char PATH_SEPARATOR = '\\';

namespace {

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

}  // namespace

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

// Windows tells a link by its attributes, and follows it when a file is
// opened: a link to a file is what `follow` asks of it, a file.
EntryKind look_up(const std::string& path, bool follow, int& error) {
  error = 0;
  // A name that the system refuses (a control character, a NUL) names
  // nothing.
  if (hides_a_nul(path)) {
    error = ENOENT;
    return EntryKind::other;
  }
  const DWORD attributes = GetFileAttributesW(system_path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD failure = GetLastError();
    const int number = reason(failure).number;
    error = names_nothing(failure) || failure == ERROR_INVALID_NAME || failure == ERROR_BAD_PATHNAME
                ? ENOENT
                : number != 0 ? number : EIO;
    return EntryKind::other;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::directory;
  if (!follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::symlink;
  return EntryKind::regular;
}

std::optional<std::chrono::system_clock::time_point> last_change(const std::string& path) {
  if (hides_a_nul(path)) return {};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &data)) return {};
  // FILETIME counts 100 ns from 1601; 11644473600 s lie before 1970.
  const auto ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::microseconds(ticks / 10 - 11644473600LL * 1000000)));
}

bool is_directory(const std::string& path) {
  return !hides_a_nul(path) && names_directory(system_path(path));
}

bool path_exists(const std::string& path) {
  int error = 0;
  look_up(path, false, error);
  return error != ENOENT;
}

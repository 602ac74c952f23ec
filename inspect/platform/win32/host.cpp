#include "platform/host.h"

#include <windows.h>

#include "platform/win32/system.h"

namespace {

struct Handle {
  HANDLE handle;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

}  // namespace

std::string host_name() {
  wchar_t name[256] = {};
  DWORD size = 256;
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
  return narrow(std::wstring_view(name, size));
}

bool replace_file(const std::string& path, std::string_view bytes, SystemError& error) {
  const std::wstring target = system_path(path);
  const std::wstring temporary = system_path(path + ".tmp");
  if (target.empty() || temporary.empty()) {
    error = reason(ERROR_INVALID_NAME);
    return false;
  }
  DWORD failure = 0;
  {
    Handle file{CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
      error = reason(GetLastError());
      return false;
    }
    while (!bytes.empty() && failure == 0) {
      DWORD written = 0;
      const DWORD size = bytes.size() > 1U << 30 ? 1U << 30 : static_cast<DWORD>(bytes.size());
      if (!WriteFile(file.handle, bytes.data(), size, &written, nullptr))
        failure = GetLastError();
      bytes.remove_prefix(written);
    }
    if (failure == 0 && !FlushFileBuffers(file.handle)) failure = GetLastError();
  }
  if (failure == 0 &&
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    failure = GetLastError();
  if (failure != 0) {
    error = reason(failure);
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool read_small_file(const std::string& path, std::size_t limit, std::string& bytes) {
  const std::wstring name = system_path(path);
  if (name.empty()) return false;
  Handle file{CreateFileW(name.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  bytes.assign(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    DWORD read = 0;
    const std::size_t left = limit - got;
    const DWORD size = left > 1U << 30 ? 1U << 30 : static_cast<DWORD>(left);
    if (!ReadFile(file.handle, bytes.data() + got, size, &read, nullptr)) return false;
    if (read == 0) break;
    got += read;
  }
  bytes.resize(got);
  return true;
}

// UTF-16 paths, the system's errors and reparse points, for the Windows
// files of the platform.
#include "platform/win32/system.h"

#include <cerrno>
#include <memory>

#include "wide_text.h"
#include "windows_paths.h"

namespace {

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

}  // namespace

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

SystemError reason(DWORD error) { return {message_of(error), errno_of(error)}; }

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

bool is_link_tag(DWORD tag) {
  return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

bool hides_a_nul(const std::string& path) {
  return wide(path).find(L'\0') != std::wstring::npos;
}

bool names_nothing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

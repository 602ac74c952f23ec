// Listing, opening and reading on Windows. Paths are UTF-8 everywhere else;
// here they meet the system in UTF-16, in the long form when they are long,
// and files are opened sharing reading, writing and deletion, as the tool
// opens them.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "files.h"

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
// the long form, made from the full path, above.
std::wstring system_path(const std::string& path) {
  std::wstring typed = wide(path);
  const DWORD needed = GetFullPathNameW(typed.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return typed;
  std::wstring full(needed, L'\0');
  const DWORD size = GetFullPathNameW(typed.c_str(), needed, full.data(), nullptr);
  if (size == 0 || size >= needed || size < MAX_PATH) return typed;
  full.resize(size);
  std::wstring long_form(size + 8, L'\0');
  const std::size_t units =
      extended_length_path(full, long_form.data(), long_form.size());
  if (units == 0) return typed;
  long_form.resize(units - 1);
  return long_form;
}

bool names_directory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool read_at(HANDLE file, unsigned char* buffer, std::size_t size,
             std::uint64_t at, std::size_t& got) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(at);
  where.OffsetHigh = static_cast<DWORD>(at >> 32);
  DWORD read = 0;
  if (!ReadFile(file, buffer, static_cast<DWORD>(size), &read, &where) &&
      GetLastError() != ERROR_HANDLE_EOF)
    return false;
  got = read;
  return true;
}

// The tool's own way: read on until IMAGE_CAPACITY bytes are in or the file
// ends.
bool read_like_the_tool(HANDLE file, bool seekable, ReadParts& parts,
                        std::string& error) {
  thread_local std::unique_ptr<unsigned char[]> image(
      new unsigned char[IMAGE_CAPACITY]);
  std::size_t length = 0;
  while (length < IMAGE_CAPACITY) {
    std::size_t got = 0;
    bool ok = true;
    if (seekable) {
      ok = read_at(file, image.get() + length, IMAGE_CAPACITY - length, length,
                   got);
    } else {
      DWORD read = 0;
      ok = ReadFile(file, image.get() + length,
                    static_cast<DWORD>(IMAGE_CAPACITY - length), &read, nullptr);
      // A pipe whose writer has gone has simply ended.
      if (!ok && GetLastError() == ERROR_BROKEN_PIPE) ok = true;
      got = read;
    }
    if (!ok) {
      error = reason(GetLastError());
      return false;
    }
    if (got == 0) break;
    length += got;
  }
  keep_image(image.get(), length, parts);
  return true;
}

constexpr std::size_t WHOLE_READ = 4096;

bool read_regular(HANDLE file, std::uint64_t size, ReadParts& parts,
                  std::string& error) {
  parts.size = size;
  parts.sized = true;
  const std::size_t length =
      size < IMAGE_CAPACITY ? static_cast<std::size_t>(size) : IMAGE_CAPACITY;
  std::size_t got = 0;
  if (length < WHOLE_READ) {
    unsigned char whole[WHOLE_READ];
    if (!read_at(file, whole, sizeof whole, 0, got)) {
      error = reason(GetLastError());
      return false;
    }
    // One read that asked for more than came back, from a file whose size
    // says the same: the whole file at one moment.
    if (got < sizeof whole && got == size) {
      keep_image(whole, got, parts);
      return true;
    }
    return read_like_the_tool(file, true, parts, error);  // it changed
  }
  std::size_t start = 0;
  unsigned char end[sizeof END_RECORD + 1];
  const std::size_t want =
      length < IMAGE_CAPACITY ? sizeof end : sizeof END_RECORD;
  if (!read_at(file, parts.start, sizeof parts.start, 0, start) ||
      !read_at(file, end, want, length - sizeof END_RECORD, got)) {
    error = reason(GetLastError());
    return false;
  }
  if (start != sizeof parts.start || got != sizeof END_RECORD)
    return read_like_the_tool(file, true, parts, error);  // it changed
  parts.start_size = sizeof parts.start;
  std::memcpy(parts.end, end, sizeof END_RECORD);
  parts.end_size = sizeof END_RECORD;
  parts.length = length;
  return true;
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

ReadOutcome read_file(const Directory* parent, const std::string& /*name*/,
                      const std::string& path, ReadParts& parts,
                      EntryKind& kind, std::string& error) {
  const std::wstring name = system_path(path);
  // In a walk, a link put in the file's place is opened as itself, and
  // then refused.
  const DWORD flags =
      FILE_ATTRIBUTE_NORMAL | (parent ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  const HANDLE file = CreateFileW(
      name.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    // A directory does not open without backup semantics: say so, not
    // "access is denied".
    error = names_directory(name) ? std::strerror(EISDIR) : reason(failure);
    return ReadOutcome::cannot_open;
  }
  ReadOutcome outcome = ReadOutcome::read;
  BY_HANDLE_FILE_INFORMATION info{};
  const DWORD type = GetFileType(file);
  if (!GetFileInformationByHandle(file, &info) && type == FILE_TYPE_DISK) {
    error = reason(GetLastError());
    outcome = ReadOutcome::cannot_open;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = std::strerror(EISDIR);
    outcome = ReadOutcome::cannot_open;
  } else if (parent && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    kind = EntryKind::symlink;
    outcome = ReadOutcome::not_regular;
  } else if (type == FILE_TYPE_DISK) {
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (!read_regular(file, size, parts, error)) outcome = ReadOutcome::cannot_open;
  } else if (parent) {
    kind = type == FILE_TYPE_PIPE ? EntryKind::fifo : EntryKind::other;
    outcome = ReadOutcome::not_regular;
  } else if (!read_like_the_tool(file, false, parts, error)) {
    outcome = ReadOutcome::cannot_open;
  }
  CloseHandle(file);
  return outcome;
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

std::vector<std::string> utf8_command_line(int argc, wchar_t** argv) {
  std::vector<std::string> words;
  words.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) words.push_back(narrow(argv[i]));
  return words;
}

// The naming rule for command and response files, and opening them.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "vardek_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

bool quiet_mode = false;

namespace {

// A serial stem is five digits, then a digit or a letter, then either
// nothing more or three more digits: 12345A, 12345A678.
constexpr std::size_t LETTER_POSITION = 5;
constexpr std::size_t SHORT_STEM = 6;
constexpr std::size_t LONG_STEM = 9;
// The walk stops here; any count but 6 or 9 is rejected anyway.
constexpr std::size_t STEM_WALK_LIMIT = 10;

bool is_separator(char c) { return c == '/' || c == '\\'; }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool is_letter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::size_t stem_length(std::string_view base) {
  std::size_t i = 0;
  while (i < base.size() && i < STEM_WALK_LIMIT) {
    const auto c = static_cast<unsigned char>(base[i]);
    if (!is_digit(c) && !(i == LETTER_POSITION && is_letter(c))) break;
    ++i;
  }
  return i;
}

[[noreturn]] void reject_name(const char* path) {
  if (!quiet_mode)
    std::printf(
        "tarnwick: file '%s' is not of form: in/12345A678.ok, "
        "in/12345A678.fail or out/12345A678.cmd\n",
        path);
  std::exit(RC_NOT_VALID);
}

[[noreturn]] void cannot_open(const char* path) {
  if (!quiet_mode)
    std::printf("tarnwick: Cannot open file '%s' for reading\n", path);
  std::exit(RC_OTHER_PROBLEM);
}

#ifdef _WIN32
std::FILE* open_for_reading(const char* path) {
  std::FILE* stream = std::fopen(path, "rb");
  struct stat info;
  if (stream && fstat(_fileno(stream), &info) == 0 && S_ISDIR(info.st_mode))
    return nullptr;
  return stream;
}
#else
std::FILE* open_for_reading(const char* path) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open
  // forever; O_NOCTTY, so that a terminal never becomes ours.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  // A directory opens fine here; reading it fails later, so refuse it now.
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
  // Reads should wait for data as usual: a FIFO's writer may be slow.
  if (!S_ISREG(info.st_mode) && fcntl(fd, F_SETFL, 0) != 0) return nullptr;
  return fdopen(fd, "rb");
}
#endif

}  // namespace

NameKind name_kind(std::string_view path) {
  std::size_t prefix = path.size();
  while (prefix > 0 && !is_separator(path[prefix - 1])) --prefix;
  const std::string_view dir = path.substr(0, prefix);
  const std::string_view base = path.substr(prefix);

  // Only the end of the directory prefix counts: data/in/, admin/ and
  // C:\spool\out\ all qualify.
  NameKind kind = NameKind::rejected;
  if (dir.size() >= 3 && dir.substr(dir.size() - 3, 2) == "in")
    kind = NameKind::response;
  else if (dir.size() >= 4 && dir.substr(dir.size() - 4, 3) == "out")
    kind = NameKind::command;
  else
    return NameKind::rejected;

  const std::size_t stem = stem_length(base);
  if (stem != SHORT_STEM && stem != LONG_STEM) return NameKind::rejected;

  const std::string_view extension = base.substr(stem);
  const bool fits = kind == NameKind::response
                        ? extension == ".ok" || extension == ".fail"
                        : extension == ".cmd";
  return fits ? kind : NameKind::rejected;
}

std::FILE* open_vardek_file(char* argument) {
  // Shells on some systems leave a quoted argument's quotes in place. The
  // opening one is skipped; the closing one is cut from the argument itself,
  // so later messages show the argument without it.
  char* path = argument[0] == '"' ? argument + 1 : argument;
  const std::size_t size = std::strlen(path);
  if (size > 0 && path[size - 1] == '"') path[size - 1] = '\0';

  if (name_kind(path) == NameKind::rejected) reject_name(path);

  std::FILE* stream = open_for_reading(path);
  if (stream == nullptr) cannot_open(path);
  return stream;
}

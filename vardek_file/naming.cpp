// The naming rule for command and response files, and opening them.
#include <cstdlib>
#include <cstring>

#include "vardek_file.h"

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

// Does the directory prefix (which ends in its separator) name a directory
// whose name ends in `name`? Written without substr, which could throw and
// would pull the C++ exception runtime into the tool.
bool directory_ends_with(std::string_view dir, std::string_view name) {
  if (dir.size() < name.size() + 1) return false;
  return std::string_view(dir.data() + dir.size() - 1 - name.size(),
                          name.size()) == name;
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

}  // namespace

NameKind name_kind(std::string_view path) {
  std::size_t prefix = path.size();
  while (prefix > 0 && !is_separator(path[prefix - 1])) --prefix;
  const std::string_view dir(path.data(), prefix);
  std::string_view base = path;
  base.remove_prefix(prefix);

  // Only the end of the directory prefix counts: data/in/, admin/ and
  // C:\spool\out\ all qualify.
  NameKind kind = NameKind::rejected;
  if (directory_ends_with(dir, "in"))
    kind = NameKind::response;
  else if (directory_ends_with(dir, "out"))
    kind = NameKind::command;
  else
    return NameKind::rejected;

  const std::size_t stem = stem_length(base);
  if (stem != SHORT_STEM && stem != LONG_STEM) return NameKind::rejected;

  std::string_view extension = base;
  extension.remove_prefix(stem);
  const bool fits = kind == NameKind::response
                        ? extension == ".ok" || extension == ".fail"
                        : extension == ".cmd";
  return fits ? kind : NameKind::rejected;
}

InputFile open_vardek_file(char* argument) {
  // Shells on some systems leave a quoted argument's quotes in place. The
  // opening one is skipped; the closing one is cut from the argument itself,
  // so later messages show the argument without it.
  char* path = argument[0] == '"' ? argument + 1 : argument;
  const std::size_t size = std::strlen(path);
  if (size > 0 && path[size - 1] == '"') path[size - 1] = '\0';

  if (name_kind(path) == NameKind::rejected)
    fail(RC_NOT_VALID,
         "tarnwick: file '%s' is not of form: in/12345A678.ok, "
         "in/12345A678.fail or out/12345A678.cmd\n",
         path);

  const InputFile file = open_for_reading(path);
  if (file == NO_FILE)
    fail(RC_OTHER_PROBLEM, "tarnwick: Cannot open file '%s' for reading\n",
         path);
  return file;
}

void fail(ResultCode code, const char* format, const char* path) {
  if (!quiet_mode) print_message(format, path);
  std::exit(code);
}

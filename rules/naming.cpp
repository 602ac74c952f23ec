// The naming rule for command and response files, and the quotes around a
// file argument.
#include "vardek_rules.h"

namespace {

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

constexpr std::string_view RESPONSE_EXTENSIONS[] = {".ok", ".fail"};
constexpr std::string_view COMMAND_EXTENSIONS[] = {".cmd"};

std::size_t stem_length(std::string_view base) {
  std::size_t i = 0;
  while (i < base.size() && i < STEM_WALK_LIMIT) {
    const auto c = static_cast<unsigned char>(base[i]);
    if (!is_digit(c) && !(i == STEM_LETTER_POSITION && is_letter(c))) break;
    ++i;
  }
  return i;
}

}  // namespace

std::string_view trim_quotes(std::string_view argument) {
  if (!argument.empty() && argument.front() == '"') argument.remove_prefix(1);
  if (!argument.empty() && argument.back() == '"') argument.remove_suffix(1);
  return argument;
}

std::span<const std::string_view> allowed_extensions(NameKind kind) {
  switch (kind) {
    case NameKind::response: return RESPONSE_EXTENSIONS;
    case NameKind::command: return COMMAND_EXTENSIONS;
    case NameKind::rejected: break;
  }
  return {};
}

NameCheck check_name(std::string_view path) {
  std::size_t prefix = path.size();
  while (prefix > 0 && !is_separator(path[prefix - 1])) --prefix;
  const std::string_view dir(path.data(), prefix);
  std::string_view base = path;
  base.remove_prefix(prefix);

  NameCheck check{NameKind::rejected, NameRule::directory, NameKind::rejected,
                  prefix, 0};
  // Only the end of the directory prefix counts: data/in/, admin/ and
  // C:\spool\out\ all qualify.
  if (directory_ends_with(dir, "in"))
    check.directory_kind = NameKind::response;
  else if (directory_ends_with(dir, "out"))
    check.directory_kind = NameKind::command;
  else
    return check;

  check.stem = stem_length(base);
  if (check.stem != SHORT_STEM && check.stem != LONG_STEM) {
    check.failed = NameRule::stem;
    return check;
  }

  std::string_view extension = base;
  extension.remove_prefix(check.stem);
  for (const std::string_view allowed :
       allowed_extensions(check.directory_kind)) {
    if (extension != allowed) continue;
    check.failed = NameRule::none;
    check.kind = check.directory_kind;
    return check;
  }
  check.failed = NameRule::extension;
  return check;
}

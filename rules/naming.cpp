// The naming rule for command and response files, and the quotes around a
// file argument.
#include <utility>

#include "vardek_rules.h"

namespace {

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

// Whether `text` is one of `list`, each compared as a constant: no table of
// extensions is kept or looked up at run time.
template <std::size_t N, std::size_t... I>
bool is_one_of(std::string_view text, const std::string_view (&list)[N],
               std::index_sequence<I...> /*each index*/) {
  return ((text == list[I]) || ...);
}
template <std::size_t N>
bool is_one_of(std::string_view text, const std::string_view (&list)[N]) {
  return is_one_of(text, list, std::make_index_sequence<N>());
}

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

NameCheck check_name(std::string_view path) {
  std::size_t prefix = path.size();
  while (prefix > 0 && !is_path_separator(path[prefix - 1])) --prefix;
  const std::string_view dir(path.data(), prefix);
  std::string_view base = path;
  base.remove_prefix(prefix);

  NameCheck check{NameKind::rejected, NameRule::directory, NameKind::rejected,
                  prefix, 0};
  // Only the end of the directory prefix counts: data/in/, admin/ and
  // C:\spool\out\ all qualify.
  if (directory_ends_with(dir, RESPONSE_FOLDER_END))
    check.directory_kind = NameKind::response;
  else if (directory_ends_with(dir, COMMAND_FOLDER_END))
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
  const bool fits = check.directory_kind == NameKind::response
                        ? is_one_of(extension, RESPONSE_EXTENSIONS)
                        : is_one_of(extension, COMMAND_EXTENSIONS);
  if (fits) {
    check.failed = NameRule::none;
    check.kind = check.directory_kind;
    return check;
  }
  check.failed = NameRule::extension;
  return check;
}

// Arbitrary bytes as a path: the naming rule must agree with a second,
// differently written statement of the rule, on every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vardek_rules.h"

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }
bool alnum(char c) {
  return digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Does `base` read <stem><extension>, with a 6- or 9-character stem?
bool stem_then(std::string_view base, std::string_view extension) {
  for (const std::size_t stem : {std::size_t{6}, std::size_t{9}}) {
    if (base.size() != stem + extension.size()) continue;
    bool ok = base.substr(stem) == extension;
    for (std::size_t i = 0; ok && i < stem; ++i)
      ok = i == 5 ? alnum(base[i]) : digit(base[i]);
    if (ok) return true;
  }
  return false;
}

NameKind expected_kind(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string_view::npos) return NameKind::rejected;
  const std::string_view dir = path.substr(0, cut);  // without the separator
  const std::string_view base = path.substr(cut + 1);
  if (dir.ends_with("in") &&
      (stem_then(base, ".ok") || stem_then(base, ".fail")))
    return NameKind::response;
  if (dir.ends_with("out") && stem_then(base, ".cmd")) return NameKind::command;
  return NameKind::rejected;
}

// Which part of the rule fails first: the directory, then the stem (five
// digits and a letter or digit, then three digits or none, and no digit
// right after), then the extension.
NameRule expected_rule(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string_view::npos) return NameRule::directory;
  const std::string_view dir = path.substr(0, cut);
  const bool response = dir.ends_with("in");
  if (!response && !dir.ends_with("out")) return NameRule::directory;
  const std::string_view base = path.substr(cut + 1);
  const auto digits = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      if (i >= base.size() || !digit(base[i])) return false;
    return true;
  };
  const bool six = digits(0, 5) && base.size() > 5 && alnum(base[5]);
  const bool nine = six && digits(6, 9);
  const bool stem_ok = six && (!digits(6, 7) || (nine && !digits(9, 10)));
  if (!stem_ok) return NameRule::stem;
  const std::string_view extension = base.substr(nine ? 9 : 6);
  const bool fits = response ? extension == ".ok" || extension == ".fail"
                             : extension == ".cmd";
  return fits ? NameRule::none : NameRule::extension;
}

void require(bool property) {
  if (!property) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  const NameCheck check = check_name(path);
  require(check.kind == expected_kind(path));
  require(check.failed == expected_rule(path));
  // The base name follows the last separator; the stem lies inside it.
  const std::size_t cut = path.find_last_of("/\\");
  require(check.base == (cut == std::string_view::npos ? 0 : cut + 1));
  require(check.base + check.stem <= path.size() && check.stem <= 10);
  return 0;
}

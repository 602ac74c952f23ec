// Arbitrary bytes as a path: the naming rule must agree with a second,
// differently written statement of the rule, on every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vardek_file.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  if (name_kind(path) != expected_kind(path)) std::abort();
  return 0;
}

// A pattern and a name, split at the first NUL byte: the matcher must agree
// with the C library's fnmatch(3), without flags, on the syntax the two
// share, and must cost no more than the pattern's length for each byte of
// a 4096-byte name.
#include <fnmatch.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "walk/glob.h"

namespace {

void require(bool property) {
  if (!property) std::abort();
}

// What fnmatch reads otherwise: classes, equivalence classes and collating
// symbols in sets ([:alpha:], [=a=], [.a.]), and a backslash at the end,
// which it takes for no match and this matcher for itself.
bool shared_syntax(std::string_view pattern) {
  return pattern.find("[:") == std::string_view::npos &&
         pattern.find("[=") == std::string_view::npos &&
         pattern.find("[.") == std::string_view::npos && !pattern.ends_with('\\');
}

std::size_t count(std::string_view text, char c) {
  std::size_t n = 0;
  for (const char t : text) n += t == c ? 1 : 0;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\0');
  if (cut == std::string_view::npos) return 0;
  const std::string pattern(input.substr(0, cut));
  const std::string name(input.substr(cut + 1));

  const bool matches = glob_matches(pattern, name);
  // fnmatch tries every place for each star in turn: kept to short names
  // and few stars, where it ends soon.
  if (name.find('\0') == std::string::npos && name.size() <= 32 && count(pattern, '*') <= 3 &&
      shared_syntax(pattern))
    require(matches == (fnmatch(pattern.c_str(), name.c_str(), 0) == 0));

  // The name repeated to 4096 bytes: the cost stays within the bound.
  std::string long_name;
  while (!name.empty() && long_name.size() < 4096) long_name += name;
  long_name.resize(4096, 'a');
  std::size_t steps = 0;
  static_cast<void>(glob_matches(pattern, long_name, steps));
  require(steps <= glob_step_bound(pattern.size(), long_name.size()));
  return 0;
}

#include "walk/glob.h"

#include <cstddef>

namespace {

// Whether the set at `pattern[at]` (just after its `[`) takes `byte`;
// `at` is moved past the closing `]`. A set without one is no set: false,
// and `at` is left as it was.
bool set_takes(std::string_view pattern, std::size_t& at, unsigned char byte,
               bool& is_set) {
  std::size_t i = at;
  const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  bool taken = false;
  bool first = true;
  for (; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
    auto low = static_cast<unsigned char>(pattern[i]);
    if (low == '\\' && i + 1 < pattern.size()) low = static_cast<unsigned char>(pattern[++i]);
    ++i;
    auto high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      high = static_cast<unsigned char>(pattern[i + 1]);
      i += 2;
    }
    if (byte >= low && byte <= high) taken = true;
  }
  is_set = i < pattern.size();
  if (!is_set) return false;
  at = i + 1;
  return taken != negated;
}

}  // namespace

bool glob_matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  // Where to go back to when what follows the last `*` fails: that star
  // then takes one byte more.
  std::size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size()) {
      const char c = pattern[p];
      if (c == '*') {
        star = ++p;
        star_name = n;
        continue;
      }
      bool matched = c == '?';
      std::size_t next = p + 1;  // past what took the byte
      bool is_set = false;
      if (c == '[') {
        next = p + 1;
        matched = set_takes(pattern, next, static_cast<unsigned char>(name[n]), is_set);
      }
      if (c != '?' && !is_set) {  // a byte as it is; a lone `[` too
        std::size_t at = p;
        if (c == '\\' && at + 1 < pattern.size()) ++at;
        matched = pattern[at] == name[n];
        next = at + 1;
      }
      if (matched) {
        p = next;
        ++n;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    p = star;
    n = ++star_name;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

#include "walk/glob.h"

#include <cstddef>
#include <vector>

namespace {

// Whether the set at `pattern[at]` (just after its `[`) takes `byte`;
// `at` is moved past the closing `]`. A set without one is no set: false,
// and `at` is left as it was.
bool set_takes(std::string_view pattern, std::size_t& at, unsigned char byte,
               bool& is_set, std::size_t& steps) {
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
      std::size_t end = i + 1;  // a range's end may be escaped too
      if (pattern[end] == '\\' && end + 1 < pattern.size()) ++end;
      high = static_cast<unsigned char>(pattern[end]);
      i = end + 1;
    }
    if (byte >= low && byte <= high) taken = true;
  }
  steps += i - at;
  is_set = i < pattern.size();
  if (!is_set) return false;
  at = i + 1;
  return taken != negated;
}

}  // namespace

bool glob_matches(std::string_view pattern, std::string_view name) {
  std::size_t steps = 0;
  return glob_matches(pattern, name, steps);
}

bool glob_matches(std::string_view pattern, std::string_view name, std::size_t& steps) {
  std::size_t p = 0, n = 0;
  // Where to go back to when what follows the last `*` fails: that star
  // then takes one byte more.
  std::size_t star = std::string_view::npos, star_name = 0;
  // The `[`s that no `]` closes, each found by reading to the pattern's
  // end: kept, so that each try of the star does not read them again.
  std::vector<bool> unclosed;
  while (n < name.size()) {
    ++steps;
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
      if (c == '[' && (unclosed.empty() || !unclosed[p])) {
        next = p + 1;
        matched = set_takes(pattern, next, static_cast<unsigned char>(name[n]), is_set, steps);
        if (!is_set) {
          unclosed.resize(pattern.size());
          unclosed[p] = true;
        }
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
  for (; p < pattern.size() && pattern[p] == '*'; ++p) ++steps;
  return p == pattern.size();
}

std::size_t glob_step_bound(std::size_t pattern_size, std::size_t name_size) {
  // Each try of the last star walks the pattern once, and reads each set
  // it meets to its end; a `[` that never closes is read to the pattern's
  // end once.
  return (name_size + 1) * (2 * pattern_size + 2) + pattern_size * (pattern_size + 1);
}

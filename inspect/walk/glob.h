// The shell's patterns for names, as --exclude takes them: `*` any run of
// bytes, `?` any one byte, `[a-z]` and `[!a-z]` a set, `\` takes the next
// byte as it is. A leading dot is matched like any other byte, as find's
// -name matches it.
#ifndef TARNWICK_INSPECT_WALK_GLOB_H
#define TARNWICK_INSPECT_WALK_GLOB_H

#include <cstddef>
#include <string_view>

bool glob_matches(std::string_view pattern, std::string_view name);

// The same, adding to `steps` the bytes of the pattern it looked at, which
// never pass glob_step_bound: on a long name, about twice the pattern's
// length for each byte of the name, whatever the pattern.
bool glob_matches(std::string_view pattern, std::string_view name, std::size_t& steps);
std::size_t glob_step_bound(std::size_t pattern_size, std::size_t name_size);

#endif

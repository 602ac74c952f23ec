// The shell's patterns for names, as --exclude takes them: `*` any run of
// bytes, `?` any one byte, `[a-z]` and `[!a-z]` a set, `\` takes the next
// byte as it is. A leading dot is matched like any other byte, as find's
// -name matches it.
#ifndef TARNWICK_INSPECT_WALK_GLOB_H
#define TARNWICK_INSPECT_WALK_GLOB_H

#include <string_view>

bool glob_matches(std::string_view pattern, std::string_view name);

#endif

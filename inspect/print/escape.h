// Paths and texts as the printers write them.
#ifndef TARNWICK_INSPECT_PRINT_ESCAPE_H
#define TARNWICK_INSPECT_PRINT_ESCAPE_H

#include <cstddef>
#include <string>
#include <string_view>

// A path on a text line: control bytes as \xHH, every other byte as it is.
void append_text_path(std::string& out, std::string_view path);

// A JSON string. A byte that is not part of well-formed UTF-8 becomes
// U+FFFD; false when any did.
bool append_json_string(std::string& out, std::string_view text);

// The length of the UTF-8 sequence at `text[at]`, or 0 when it is not a
// well-formed one (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t utf8_sequence(std::string_view text, std::size_t at);

#endif

// Paths as the printers write them, for the printers of other records.
#ifndef TARNWICK_INSPECT_ESCAPE_H
#define TARNWICK_INSPECT_ESCAPE_H

#include <string>
#include <string_view>

// A path on a text line: control bytes as \xHH, every other byte as it is.
void append_text_path(std::string& out, std::string_view path);

// A JSON string; false when a byte that is not well-formed UTF-8 had to
// become U+FFFD.
bool append_json_string(std::string& out, std::string_view text);

#endif

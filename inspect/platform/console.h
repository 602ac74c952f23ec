// The inspector's standard streams: the report, the progress line's
// terminal, and a list of paths to read. posix/console.cpp and
// win32/console.cpp give it.
#ifndef TARNWICK_INSPECT_PLATFORM_CONSOLE_H
#define TARNWICK_INSPECT_PLATFORM_CONSOLE_H

#include <cstdio>
#include <string>
#include <string_view>

// Writes bytes to standard output; false, with errno set, when the write
// failed.
bool write_output(std::string_view bytes);

// A reader of the report that goes away (| head) makes the next write fail
// instead of ending the process, so that the run ends with its own status.
void keep_on_broken_pipes();

// Is standard error a terminal, for the progress line?
bool error_is_terminal();

// Opens a list of paths for reading, as bytes; "-" is standard input. On
// failure, null, and `error` holds the system's reason.
std::FILE* open_file_list(const std::string& path, std::string& error);

#endif

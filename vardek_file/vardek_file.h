// The tool's contract: the image buffers, the quiet flag, and the checks
// that end the process on failure, over the rules in vardek_rules.h.
#ifndef TARNWICK_VARDEK_FILE_H
#define TARNWICK_VARDEK_FILE_H

#include <cstddef>
#include <cstdint>

#include "vardek_rules.h"

// The first bytes of one file. `length` comes first so that a small file
// touches a single page of the buffer.
struct FileImage {
  std::size_t length;  // bytes the one read delivered
  unsigned char bytes[IMAGE_CAPACITY];
};

// Set by -q: no message and no verdict digit is printed (the usage text is).
extern bool quiet_mode;

// An open file as the platform knows it: a descriptor, or a Windows handle.
using InputFile = std::intptr_t;
inline constexpr InputFile NO_FILE = -1;

// Trims the argument's quotes (cutting a closing one in place), checks the
// name and opens the file for binary reading. On a bad name or a failed open
// it prints its message unless quiet and exits with 4 or 3.
InputFile open_vardek_file(char* argument);

// Reads the start of the file into `image` and returns only if it is a valid
// command or response file; otherwise prints its message unless quiet and
// exits with 4. `argument` is used only in that message.
void load_vardek_file(FileImage& image, InputFile file, const char* argument);

// Closes a file that open_vardek_file gave.
void close_vardek_file(InputFile file);

// How every check ends the process: the message, whose one conversion is %s
// for `path`, unless quiet, then the exit status `code`.
[[noreturn]] void fail(ResultCode code, const char* format, const char* path);

#endif

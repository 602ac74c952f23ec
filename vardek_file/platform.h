// What the tool's checks ask of the platform: platform_posix.cpp and
// platform_win32.cpp give it; only they and open_and_load.cpp include this.
#ifndef TARNWICK_VARDEK_FILE_PLATFORM_H
#define TARNWICK_VARDEK_FILE_PLATFORM_H

#include <cstddef>

#include "vardek_file.h"

// Opens `path` for binary reading without keeping others from reading,
// writing or deleting it; NO_FILE if that fails or `path` is a directory.
InputFile open_for_reading(const char* path);

// Reads until `capacity` bytes are in, the file ends or a read fails; gives
// the number of bytes read.
std::size_t read_up_to(InputFile file, unsigned char* buffer,
                       std::size_t capacity);

// Writes `format` with `path` for its %s to standard output.
void print_message(const char* format, const char* path);

#endif

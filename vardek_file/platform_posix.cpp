// Opening, reading and printing on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform.h"

InputFile open_for_reading(const char* path) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open
  // forever; O_NOCTTY, so that a terminal never becomes ours.
  const int file = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) return NO_FILE;
  struct stat info {};
  // A directory opens fine here and reading it fails later, so refuse it
  // now. Reads should wait for data as usual: a FIFO's writer may be slow.
  bool usable = fstat(file, &info) == 0 && !S_ISDIR(info.st_mode);
  if (usable && !S_ISREG(info.st_mode)) usable = fcntl(file, F_SETFL, 0) == 0;
  if (usable) return file;
  close(file);
  return NO_FILE;
}

std::size_t read_up_to(InputFile file, unsigned char* buffer,
                       std::size_t capacity) {
  // A pipe may deliver the bytes in parts, so read on until full or at the
  // end.
  std::size_t length = 0;
  while (length < capacity) {
    const ssize_t got =
        read(static_cast<int>(file), buffer + length, capacity - length);
    if (got <= 0) break;
    length += static_cast<std::size_t>(got);
  }
  return length;
}

void close_vardek_file(InputFile file) { close(static_cast<int>(file)); }

void print_message(const char* format, const char* path) {
  // The exit status is the answer; a failed write to standard output does
  // not change it.
  static_cast<void>(std::printf(format, path));
}

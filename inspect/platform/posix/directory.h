// What the POSIX files of the platform share: a walk's directory, held by
// its descriptor, and the patience of an open when descriptors run short.
#ifndef TARNWICK_INSPECT_PLATFORM_POSIX_DIRECTORY_H
#define TARNWICK_INSPECT_PLATFORM_POSIX_DIRECTORY_H

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <thread>

#include "model/report.h"

// The directories open now, for the walk's budget of descriptors.
extern std::atomic<std::size_t> directories_open;

struct Directory {
  int fd;
  explicit Directory(int descriptor) : fd(descriptor) { ++directories_open; }
  ~Directory() {
    close(fd);
    --directories_open;
  }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
};

// Running out of descriptors is a moment's shortage while other threads
// close theirs: wait a little and try again, for a second at most.
template <typename Open>
int open_patiently(const Open& open) {
  for (int tries = 0;; ++tries) {
    const int fd = open();
    if (fd >= 0 || (errno != EMFILE && errno != ENFILE) || tries == 1000)
      return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// What a mode says an entry is.
EntryKind kind_of_mode(mode_t mode);

#endif

// Descriptors and threads on POSIX systems.
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>

#include "platform/limits.h"
#include "platform/posix/directory.h"

void raise_open_file_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    static_cast<void>(setrlimit(RLIMIT_NOFILE, &limit));
  }
}

std::size_t open_directories() { return directories_open.load(); }

std::size_t directory_budget(unsigned jobs) {
  // Standard streams, the list, and a few for the C library's own use.
  const std::size_t reserve = std::size_t{jobs} + 16;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return SIZE_MAX;
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  return allowed > reserve + 8 ? allowed - reserve : 8;
}

unsigned threads_within_descriptors(unsigned wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return wanted;
  // Half of what the standard streams, the list and the C library leave, so
  // that the directories keep the other half (see directory_budget).
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t room = allowed > 32 ? (allowed - 32) / 2 : 1;
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(wanted, room)));
}

std::uint64_t waits_of_this_thread() {
#ifdef RUSAGE_THREAD
  // A voluntary switch: the thread slept, for a read from the disk mostly.
  rusage usage{};
  if (getrusage(RUSAGE_THREAD, &usage) == 0)
    return static_cast<std::uint64_t>(usage.ru_nvcsw);
#endif
  return 0;
}

// Descriptors and threads on Windows: a walk holds no handle to a
// directory, and the system does not count a thread's waits.
#include <cstdint>

#include "platform/limits.h"

void raise_open_file_limit() {}  // a walk holds no handle to a directory

std::size_t open_directories() { return 0; }

std::size_t directory_budget(unsigned /*jobs*/) { return SIZE_MAX; }

unsigned threads_within_descriptors(unsigned wanted) { return wanted; }

// Windows does not count a thread's waits: the threads stay one a core.
std::uint64_t waits_of_this_thread() { return 0; }

// How much of the system a run may hold at once: descriptors for the
// folders and files it holds open, and threads; and how a thread can tell
// that it waited. posix/limits.cpp and win32/limits.cpp give it.
#ifndef TARNWICK_INSPECT_PLATFORM_LIMITS_H
#define TARNWICK_INSPECT_PLATFORM_LIMITS_H

#include <cstddef>
#include <cstdint>

// The directories a walk holds open now, and how many it may hold with
// `jobs` threads each opening a file besides: past that, the walk waits for
// files to be judged, so that no open fails for want of a descriptor.
std::size_t open_directories();
std::size_t directory_budget(unsigned jobs);

// How many threads may judge files, each with a file open, so that the
// directories a walk holds open still have room: `wanted`, or fewer under a
// low limit on descriptors, and at least 1.
unsigned threads_within_descriptors(unsigned wanted);

// How many times the calling thread has had to wait for the system (for a
// disk, say) so far; 0 always where the system does not tell.
std::uint64_t waits_of_this_thread();

// Lets the walk hold as many directories open as the system allows.
void raise_open_file_limit();

#endif

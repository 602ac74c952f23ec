// What a run reads and leaves on its host beside the report: the host's
// name, and a small file replaced whole (the metrics). posix/host.cpp and
// win32/host.cpp give it.
#ifndef TARNWICK_INSPECT_PLATFORM_HOST_H
#define TARNWICK_INSPECT_PLATFORM_HOST_H

#include <cstddef>
#include <string>
#include <string_view>

#include "model/report.h"

// The host's name as the system knows it; empty when it cannot say.
std::string host_name();

// Replaces the file at `path` with `bytes`: they are written to PATH.tmp,
// in the same folder, flushed to the disk and renamed over PATH, so that a
// reader finds the old file or the new one, never a part of either. False,
// with `error` set and PATH.tmp removed, when that fails.
bool replace_file(const std::string& path, std::string_view bytes, SystemError& error);

// Reads the first `limit` bytes of the file at `path` into `bytes`; false
// when it cannot be read (it is not there yet).
bool read_small_file(const std::string& path, std::size_t limit, std::string& bytes);

#endif

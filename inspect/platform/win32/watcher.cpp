// The watch on Windows: not available yet. The inspector says so and ends
// with 3, rather than watch nothing.
#include <cerrno>

#include "platform/watcher.h"

std::unique_ptr<Watcher> open_watcher(SystemError& error) {
  error = {"the watch is not available on this system", ENOSYS};
  return nullptr;
}

bool regular_file_state(const std::string& /*path*/, FileState& /*state*/) { return false; }

bool on_network_file_system(const std::string& /*path*/) { return false; }

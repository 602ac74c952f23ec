// The system's words for an error number, on POSIX systems.
#include <cstring>

#include "platform/errors.h"

namespace {

// strerror_r comes in two forms: the GNU one returns the text, the POSIX
// one fills the buffer and returns 0.
[[maybe_unused]] const char* text_of(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* text_of(const char* result, const char*) {
  return result;
}

}  // namespace

std::string error_text(int error) {
  char buffer[256];
  return text_of(strerror_r(error, buffer, sizeof buffer), buffer);
}

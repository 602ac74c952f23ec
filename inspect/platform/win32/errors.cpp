// The C library's words for an error number, on Windows.
#include <cstring>

#include "platform/errors.h"

std::string error_text(int error) {
  char buffer[256];
  if (strerror_s(buffer, sizeof buffer, error) != 0) return "Unknown error";
  return buffer;
}

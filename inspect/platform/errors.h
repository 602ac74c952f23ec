// A failure as the system words it, on every platform.
#ifndef TARNWICK_INSPECT_PLATFORM_ERRORS_H
#define TARNWICK_INSPECT_PLATFORM_ERRORS_H

#include <string>

#include "model/report.h"

// The system's words for an error number; safe on any thread.
std::string error_text(int error);
inline SystemError system_error(int error) { return {error_text(error), error}; }

#endif

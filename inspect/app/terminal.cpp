#include "app/terminal.h"

#include <cerrno>
#include <cstdio>

#include "platform/console.h"

bool Progress::due(Clock::time_point now) {
  if (now - start_ < std::chrono::milliseconds(500) ||
      now - last_ < std::chrono::milliseconds(100))
    return false;
  last_ = now;
  return true;
}

void Progress::update(std::uint64_t seen) {
  if (!shown_) return;
  const auto now = Clock::now();
  if (!due(now)) return;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  width_ = std::fprintf(stderr, "\r%llu files, %.0f files/s ",
                        static_cast<unsigned long long>(seen),
                        static_cast<double>(seen) / seconds);
  static_cast<void>(std::fflush(stderr));
}

void Progress::clear() {
  if (width_ > 0) static_cast<void>(std::fprintf(stderr, "\r%*s\r", width_, ""));
  width_ = 0;
}

void Output::flush() {
  if (text_.empty()) return;
  progress_.clear();
  errno = 0;
  if (!write_output(text_)) throw WriteFailed{errno};
  text_.clear();
}

void Output::finish() {
  flush();
  errno = 0;
  if (std::fflush(stdout) != 0) throw WriteFailed{errno};
}

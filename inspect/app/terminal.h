// The inspector's own streams: the progress line on standard error, and
// the report, written to standard output in large pieces.
#ifndef TARNWICK_INSPECT_APP_TERMINAL_H
#define TARNWICK_INSPECT_APP_TERMINAL_H

#include <chrono>
#include <cstdint>
#include <string>

// One line on standard error, rewritten in place, once a run has lasted
// more than a moment: files seen, files a second.
class Progress {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Progress(bool shown, Clock::time_point start = Clock::now())
      : shown_(shown), start_(start) {}

  // Now and then, as files are seen.
  void tick(std::uint64_t seen) {
    if (shown_ && (seen & 0xFF) == 0) update(seen);
  }
  // Draws the line, if one is due.
  void update(std::uint64_t seen);
  // Rubs the line out: before the report is written, as both may be on
  // one terminal, and at the end.
  void clear();

  // Whether a line is due at `now`: none in the first half second of a
  // run, and at most ten a second. A line due is taken as drawn.
  bool due(Clock::time_point now);

 private:
  bool shown_;
  Clock::time_point start_, last_{};
  int width_ = 0;
};

// Standard output failed: the run stops at once.
struct WriteFailed {
  int error;  // the system's error number
};

// Standard output, written in large pieces; the progress line is rubbed
// out before each.
class Output {
 public:
  explicit Output(Progress& progress) : progress_(progress) {}
  std::string& text() { return text_; }
  void flush_if_full() {
    if (text_.size() >= std::size_t{1} << 16) flush();
  }
  void flush();
  // Writes the rest, and flushes the stream.
  void finish();

 private:
  Progress& progress_;
  std::string text_;
};

#endif

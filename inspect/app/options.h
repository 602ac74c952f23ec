// The inspector's command line: its options, parsed and checked, and its
// help text.
#ifndef TARNWICK_INSPECT_APP_OPTIONS_H
#define TARNWICK_INSPECT_APP_OPTIONS_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/run_record.h"
#include "run/run.h"

struct Options {
  bool json = false;
  bool quiet = false;
  bool summary_only = false;
  bool pairs = false;
  bool failure_paths = false;  // -l
  bool print0 = false;
  bool stats = false;
  unsigned jobs = 0;  // 0: as many as the work needs
  Io io = Io::automatic;  // --io
  std::string files_from;
  bool null_separated = false;
  std::vector<std::string> excluded;
  std::chrono::milliseconds min_age{0};
  int max_depth = -1;  // -1: all the way down
  bool one_file_system = false;
  std::uint64_t min_files = 0;
  bool min_files_given = false;
  std::optional<std::chrono::milliseconds> max_pending;  // with --pairs
  std::string metrics;  // --metrics FILE
  Labels labels;        // --label KEY=VALUE, in the order given
  bool watch = false;                      // --watch
  std::chrono::milliseconds settle{50};    // --settle, with --watch
  std::optional<std::chrono::milliseconds> pending_after;  // with --watch --pairs
  std::optional<std::chrono::milliseconds> poll;           // --poll, with --watch
  std::vector<std::string> paths;
};

// The options of a command line; a command line that asks for help or the
// version is answered, and a bad one refused, here: both end the process.
Options parse_command_line(int argc, char** argv);

// Says what is wrong with the command line, on standard error, and ends the
// process with 3.
[[noreturn]] void bad_command_line(const std::string& why);

#endif

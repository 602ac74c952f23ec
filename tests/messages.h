// What the tool and the inspector print, for comparing their output byte
// for byte.
#ifndef TARNWICK_TESTS_MESSAGES_H
#define TARNWICK_TESTS_MESSAGES_H

#include <cstdint>
#include <string>

inline const std::string USAGE =
    "Usage: tarnwick [-q] file1 [file2]\n"
    "Where: -q = quiet mode\n"
    "Returns rc=1 if file1 is newer based on internal timestamps\n"
    "     or rc=2 if file2 is newer based on internal timestamps\n"
    "     or rc=0 if they are the same (or only one file is specified)\n"
    "     or rc=4 if the file(s) are not valid Vardek files\n"
    "     or rc=3 if there is any other problem\n";

inline std::string bad_name(const std::string& path) {
  return "tarnwick: file '" + path +
         "' is not of form: in/12345A678.ok, in/12345A678.fail or out/12345A678.cmd\n";
}
inline std::string no_open(const std::string& path) {
  return "tarnwick: Cannot open file '" + path + "' for reading\n";
}
inline std::string not_valid(const std::string& argument) {
  return "tarnwick: File '" + argument + "' is not a valid Vardek command or response file\n";
}

// The counts of the inspector's summary line; `files` is the sum of the
// first four.
struct Counts {
  std::uint64_t valid = 0, not_valid = 0, bad_names = 0, not_opened = 0;
  std::uint64_t skipped = 0, vanished = 0, excluded = 0, missing = 0;
};

// The inspector's summary line, as its text printer words it.
inline std::string summary_line(const Counts& c) {
  const std::uint64_t files = c.valid + c.not_valid + c.bad_names + c.not_opened;
  std::string line = std::to_string(files) + (files == 1 ? " file" : " files") + " judged: " +
                     std::to_string(c.valid) + " valid, " + std::to_string(c.not_valid) + " not valid, " +
                     std::to_string(c.bad_names) + (c.bad_names == 1 ? " bad name, " : " bad names, ") +
                     std::to_string(c.not_opened) + " not opened; " + std::to_string(c.skipped) + " skipped";
  if (c.vanished > 0) line += ", " + std::to_string(c.vanished) + " vanished";
  if (c.excluded > 0) line += ", " + std::to_string(c.excluded) + " excluded";
  if (c.missing > 0) line += ", " + std::to_string(c.missing) + " missing";
  return line + "\n";
}

#endif

// What the tool prints, for comparing its output byte for byte.
#ifndef TARNWICK_TESTS_MESSAGES_H
#define TARNWICK_TESTS_MESSAGES_H

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

#endif

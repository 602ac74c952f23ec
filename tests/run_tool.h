// Runs the real tarnwick binary and captures what it says.
#ifndef TARNWICK_TESTS_RUN_TOOL_H
#define TARNWICK_TESTS_RUN_TOOL_H

#include <filesystem>
#include <string>
#include <vector>

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;  // the exit status, or 128 + signal number
  bool operator==(const Outcome&) const = default;
};

// Runs the tool with exactly these arguments (no shell in between) in the
// current directory.
Outcome run_tool(const std::vector<std::string>& arguments);

// A fresh temporary directory that the test runs in; removed afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes a file below the directory, creating its folders.
  void write(const std::string& path, const std::basic_string<unsigned char>& bytes) const;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

#endif

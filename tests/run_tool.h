// Runs the real tarnwick binary and captures what it says.
#ifndef TARNWICK_TESTS_RUN_TOOL_H
#define TARNWICK_TESTS_RUN_TOOL_H

#include <filesystem>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;  // the exit status, 128 + signal number, or HUNG
  bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& outcome, std::ostream* os);

// The status of a run that was killed for taking longer than this.
inline constexpr int HUNG = -2;
inline constexpr int DEADLINE_SECONDS = 30;

// Runs the tool with exactly these arguments (no shell in between) in the
// current directory, optionally through a launcher such as strace.
Outcome run_tool(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& launcher = {});

// The same for tarnwick-inspect: TARNWICK_INSPECT_BINARY replaces the one
// that was built. Its standard output goes through fixed_run_fields.
Outcome run_inspector(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& launcher = {});

// The tool's binary under test: TARNWICK_BINARY, or the one that was built.
std::string tool_binary();

// A run record's fields that differ from run to run, made the same where
// they are well formed, so that a summary compares byte for byte:
// "time":"2026-12-10T12:19:16.042Z","duration_s":0.012,"host":"vm","version":"1.0.0"
// becomes "time":"TIME","duration_s":0,"host":"HOST","version":"VERSION".
// A field out of form is left as it is, and fails the comparison.
std::string fixed_run_fields(std::string out);
// The run record's fields as fixed_run_fields leaves them; the status follows.
#define RUN_FIELDS R"(,"time":"TIME","duration_s":0,"host":"HOST","version":"VERSION","status":)"

// True when the tool runs through an emulator set in the environment: tests
// that watch the native process (tracing, privileges) do not apply then.
bool tool_is_emulated();

// True when the programs under test are built with a sanitizer, whose
// runtime needs more of the process than a hostile limit leaves.
constexpr bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

// True when the binary under test is a Windows program (TARNWICK_BINARY ends
// in .exe). Its standard output is in text mode: run_tool turns its CR LF
// line ends into LF.
bool tool_is_windows_program();

// One call of the tool and what it must answer: this standard output, an
// empty standard error, and this exit status.
struct Row {
  std::vector<std::string> args;
  std::string out;
  int status;
  const char* why;
  std::vector<std::string> launcher = {};  // as for run_tool
};

// Runs every row and checks its answer, naming the row on failure.
void expect_rows(std::span<const Row> rows);
// The same with tarnwick-inspect.
void expect_inspector_rows(std::span<const Row> rows);

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

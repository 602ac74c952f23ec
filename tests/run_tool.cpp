#include "run_tool.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <ostream>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

}  // namespace

bool tool_is_emulated() {
  const char* launcher = std::getenv("TARNWICK_LAUNCHER");
  return launcher && *launcher;
}

bool tool_is_windows_program() {
  const char* binary = std::getenv("TARNWICK_BINARY");
  return binary && std::string_view(binary).ends_with(".exe");
}

void PrintTo(const Outcome& outcome, std::ostream* os) {
  *os << "{out: \"" << outcome.out << "\", err: \"" << outcome.err
      << "\", status: " << outcome.status << "}";
}

namespace {

Outcome run_once(const std::string& binary, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& launcher) {
  std::vector<std::string> words = launcher;
  // TARNWICK_LAUNCHER runs the binary through another program, such as an
  // emulator.
  if (tool_is_emulated()) words.emplace_back(std::getenv("TARNWICK_LAUNCHER"));
  words.emplace_back(binary);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int out[2], err[2];
  check(pipe(out) == 0 && pipe(err) == 0, "pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {out[0], out[1], err[0], err[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  check(spawned == 0, "posix_spawn");

  // Read until the tool has exited and its pipes are drained. Not until
  // the pipes close: an emulator may leave helpers running that hold them.
  Outcome outcome;
  std::array<pollfd, 2> fds{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}}};
  std::string* sinks[] = {&outcome.out, &outcome.err};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(DEADLINE_SECONDS);
  int status = 0;
  bool exited = false, hung = false;
  while (true) {
    const int ready = poll(fds.data(), fds.size(), exited ? 0 : 20);
    check(ready >= 0, "poll");
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
    if (exited && ready == 0) break;
    if (!exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
    if (!exited && std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      check(waitpid(pid, &status, 0) == pid, "waitpid");
      hung = true;
      break;
    }
    if (fds[0].fd < 0 && fds[1].fd < 0 && !exited) {
      check(waitpid(pid, &status, 0) == pid, "waitpid");
      exited = true;
    }
    if (exited && fds[0].fd < 0 && fds[1].fd < 0) break;
  }
  for (const auto& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  outcome.status = hung                ? HUNG
                   : WIFEXITED(status) ? WEXITSTATUS(status)
                                       : 128 + WTERMSIG(status);
  // A Windows program ends its lines with CR LF; compare lines, not ends.
  if (std::string_view(binary).ends_with(".exe"))
    for (std::string* text : {&outcome.out, &outcome.err})
      for (std::size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
  return outcome;
}

// Does the tool run quiet with these arguments: only -q options (by their
// second letter) before at least one file?
bool quiet_call(const std::vector<std::string>& arguments) {
  std::size_t i = 0;
  for (; i < arguments.size() && arguments[i].starts_with('-'); ++i)
    if (arguments[i].size() < 2 || (arguments[i][1] != 'q' && arguments[i][1] != 'Q'))
      return false;
  return i > 0 && i < arguments.size();
}

// Wine sometimes fails to start a process: status 1, nothing printed, its
// own error message silenced by WINEDEBUG=-all. The tool never answers so
// unless quiet (its status 1 comes with the digit), so only that outcome of
// a call that is not quiet is tried again; each retry is reported on
// standard error and, when TARNWICK_RETRY_LOG names a file, appended to it
// for the suite to print. The inspector never exits with 1 at all, quiet
// or not.
bool wine_failed_to_start(const std::string& binary, bool inspector,
                          const std::vector<std::string>& arguments,
                          const std::vector<std::string>& launcher,
                          const Outcome& outcome) {
  return binary.ends_with(".exe") && tool_is_emulated() && launcher.empty() &&
         (inspector || !quiet_call(arguments)) && outcome == Outcome{"", "", 1};
}

void report_retry(const std::vector<std::string>& arguments, int attempt) {
  std::string call = "retry " + std::to_string(attempt) + ": status 1 and nothing printed for";
  for (const auto& a : arguments) call += " '" + a + "'";
  if (const auto* info = testing::UnitTest::GetInstance()->current_test_info())
    call += std::string(" in ") + info->test_suite_name() + "." + info->name();
  std::cerr << call << '\n';
  if (const char* log = std::getenv("TARNWICK_RETRY_LOG"); log && *log)
    std::ofstream(log, std::ios::app) << call << '\n';
}

std::string binary_from(const char* variable, const char* built) {
  const char* binary = std::getenv(variable);
  return binary && *binary ? binary : built;
}

Outcome run_with_retries(const std::string& binary, bool inspector,
                         const std::vector<std::string>& arguments,
                         const std::vector<std::string>& launcher) {
  constexpr int RETRIES = 2;
  Outcome outcome = run_once(binary, arguments, launcher);
  for (int attempt = 1;
       attempt <= RETRIES && wine_failed_to_start(binary, inspector, arguments, launcher, outcome);
       ++attempt) {
    report_retry(arguments, attempt);
    outcome = run_once(binary, arguments, launcher);
  }
  return outcome;
}

}  // namespace

std::string tool_binary() { return binary_from("TARNWICK_BINARY", TARNWICK_BUILT_BINARY); }

Outcome run_tool(const std::vector<std::string>& arguments,
                 const std::vector<std::string>& launcher) {
  // TARNWICK_BINARY replaces the binary that was built.
  return run_with_retries(tool_binary(), false, arguments, launcher);
}

Outcome run_inspector(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& launcher) {
  Outcome outcome = run_with_retries(
      binary_from("TARNWICK_INSPECT_BINARY", TARNWICK_BUILT_INSPECTOR), true, arguments, launcher);
  outcome.out = fixed_run_fields(std::move(outcome.out));
  return outcome;
}

namespace {

// The length of what matches `form` at the start of `text`: 9 a digit,
// * one or more digits, + one or more characters but a quote, any other
// character itself; 0 when it does not match.
std::size_t match_form(std::string_view text, std::string_view form) {
  std::size_t at = 0;
  for (const char f : form) {
    const auto is_digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    if (f == '9' || f == '*') {
      if (!is_digit(at)) return 0;
      ++at;
      while (f == '*' && is_digit(at)) ++at;
    } else if (f == '+') {
      if (at >= text.size() || text[at] == '"') return 0;
      while (at < text.size() && text[at] != '"') ++at;
    } else {
      if (at >= text.size() || text[at] != f) return 0;
      ++at;
    }
  }
  return at;
}

}  // namespace

std::string fixed_run_fields(std::string out) {
  static const std::string form = std::string(R"(,"time":"9999-99-99T99:99:99.999Z","duration_s":*.999,"host":"+","version":")") +
                                  TARNWICK_VERSION + "\"";
  static const std::string fixed = R"(,"time":"TIME","duration_s":0,"host":"HOST","version":"VERSION")";
  for (std::size_t at = out.find(R"(,"time":")"); at != std::string::npos; at = out.find(R"(,"time":")", at + 1)) {
    const std::size_t length = match_form(std::string_view(out).substr(at), form);
    if (length > 0) out.replace(at, length, fixed);
  }
  return out;
}

ScratchDir::ScratchDir() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-XXXXXX").string();
  check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  dir_ = pattern;
  std::filesystem::current_path(dir_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(dir_, ignored);
}

void ScratchDir::write(const std::string& path,
                       const std::basic_string<unsigned char>& bytes) const {
  const std::filesystem::path file = dir_ / path;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::ofstream stream(file, std::ios::binary);
  stream.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  check(stream.good(), "write");
}

void expect_rows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(run_tool(row.args, row.launcher), (Outcome{row.out, "", row.status}));
  }
}

void expect_inspector_rows(std::span<const Row> rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(run_inspector(row.args, row.launcher), (Outcome{row.out, "", row.status}));
  }
}

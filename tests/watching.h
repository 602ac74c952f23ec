// The inspector watching a scratch spool, for the tests: its standard
// output read a line at a time, and files landed as writers land them.
#ifndef TARNWICK_TESTS_WATCHING_H
#define TARNWICK_TESTS_WATCHING_H

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_tool.h"
#include "vardek_bytes.h"

extern char** environ;

namespace fs = std::filesystem;

// The inspector, watching: its standard output read a line at a time.
class Watching {
 public:
  explicit Watching(const std::vector<std::string>& arguments) {
    std::vector<std::string> words;
    if (tool_is_emulated()) words.emplace_back(std::getenv("TARNWICK_LAUNCHER"));
    const char* binary = std::getenv("TARNWICK_INSPECT_BINARY");
    words.emplace_back(binary && *binary ? binary : TARNWICK_BUILT_INSPECTOR);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    if (spawned != 0) throw std::runtime_error("posix_spawn");
  }
  ~Watching() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
  }
  Watching(const Watching&) = delete;
  Watching& operator=(const Watching&) = delete;

  // The next line, without its end; "EOF" at the end, "HUNG" when none
  // comes in the time that only a hung program takes.
  std::string line() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(DEADLINE_SECONDS);
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows program's line end
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd fd{out_, POLLIN, 0};
      if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) return "HUNG";
      char chunk[4096];
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) return "EOF";
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }
  void signal(int number) const { kill(pid_, number); }
  int status() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

inline const Bytes VALID = vardek_bytes();
inline const Bytes SHORT = VALID.substr(0, 20);

inline void put(const std::string& path, const Bytes& bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(bytes.data()),
                                                               static_cast<std::streamsize>(bytes.size()));
}
// Written beside the spool, then renamed in, as a writer lands a file.
inline void land(const std::string& path, const Bytes& bytes) {
  put("landing", bytes);
  fs::create_directories(fs::path(path).parent_path());
  fs::rename("landing", path);
}

inline std::string valid_line(const std::string& path) {
  return path + ": valid: short form (12-byte identification), timestamp head at 18, key 202612081830";
}
inline std::string short_line(const std::string& path) {
  return path + ": not valid: length: 20 bytes read, at least 33 needed";
}

#endif

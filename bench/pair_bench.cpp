// Runs two commands alternately and prints the median of the per-pair
// ratios first/second, for wall time and for CPU time, and each command's
// median peak resident memory. Alternating pairs, and medians of their
// ratios, keep a noisy shared machine from favouring either command.
//
//   pair_bench [--warm N] [--before CMD] PAIRS first-command... -- second-command...
//     prints: wall_ratio cpu_ratio first_wall (after N warming runs of each,
//     default 5; first_wall: the first command's median seconds);
//     with --before, `sh -c CMD` runs before every run of either command
//     (to empty the page cache, say), and its time is not counted
//   pair_bench --peak-rss command...
//     prints the command's peak resident memory in KiB
//   pair_bench --faults RUNS command...
//     prints the median number of page faults (minor and major) a run takes
//
// The peak is read from /proc at the traced child's exit: wait4's ru_maxrss
// would also count the memory of this process, which the child shares until
// it execs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

extern char** environ;

namespace {

struct Sample {
  double wall;  // seconds
  double cpu;   // user + system seconds
  long faults;  // minor + major page faults
};

// Run before each run of a command, untimed: sh -c CMD, or nothing.
const char* before_each = nullptr;

void run_before() {
  if (before_each == nullptr) return;
  char sh[] = "/bin/sh", c[] = "-c";
  char* const argv[] = {sh, c, const_cast<char*>(before_each), nullptr};
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "pair_bench: the command before failed: %s\n", before_each);
    std::exit(2);
  }
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

Sample run_once(char* const* argv) {
  run_before();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "pair_bench: cannot run %s\n", argv[0]);
    std::exit(2);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  clock_gettime(CLOCK_MONOTONIC, &end);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status)) {
    std::fprintf(stderr, "pair_bench: %s did not exit normally\n", argv[0]);
    std::exit(2);
  }
  return {static_cast<double>(end.tv_sec - start.tv_sec) +
              static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9,
          seconds(usage.ru_utime) + seconds(usage.ru_stime),
          usage.ru_minflt + usage.ru_majflt};
}

long peak_rss_kib(char* const* argv) {
  const pid_t pid = fork();
  if (pid == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);  // stopped at the exec
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
  ptrace(PTRACE_CONT, pid, nullptr, nullptr);
  long kib = -1;
  while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      char path[64];
      std::snprintf(path, sizeof path, "/proc/%d/status", pid);
      if (std::FILE* f = std::fopen(path, "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
          if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
        std::fclose(f);
      }
      ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    } else {
      ptrace(PTRACE_CONT, pid, nullptr, WSTOPSIG(status));
    }
  }
  return kib;
}

template <typename T>
T median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--peak-rss") == 0) {
    std::printf("%ld\n", peak_rss_kib(argv + 2));
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "--faults") == 0) {
    // The child's count starts at the spawn, before the exec, so it holds a
    // few faults of the spawn itself: the same few for any command.
    const long runs = std::strtol(argv[2], nullptr, 10);
    std::vector<long> faults;
    for (long i = 0; i < std::max(runs, 1L); ++i)
      faults.push_back(run_once(argv + 3).faults);
    std::printf("%ld\n", median(faults));
    return 0;
  }
  long warm = 5;
  while (argc >= 3 && (std::strcmp(argv[1], "--warm") == 0 || std::strcmp(argv[1], "--before") == 0)) {
    if (argv[1][2] == 'w')
      warm = std::strtol(argv[2], nullptr, 10);
    else
      before_each = argv[2];
    argv += 2;
    argc -= 2;
  }
  if (argc < 5) {
    std::fprintf(stderr, "usage: pair_bench PAIRS first-command... -- second-command...\n");
    return 2;
  }
  const long pairs = std::strtol(argv[1], nullptr, 10);
  std::vector<char*> first, second;
  auto* into = &first;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0 && into == &first) {
      into = &second;
      continue;
    }
    into->push_back(argv[i]);
  }
  if (pairs < 1 || first.empty() || second.empty()) {
    std::fprintf(stderr, "pair_bench: need PAIRS >= 1 and two commands\n");
    return 2;
  }
  first.push_back(nullptr);
  second.push_back(nullptr);

  // Warm the page cache and the binaries before measuring.
  for (long i = 0; i < warm; ++i) {
    run_once(first.data());
    run_once(second.data());
  }
  std::vector<double> wall, cpu, first_wall;
  for (long i = 0; i < pairs; ++i) {
    // Alternate which runs first, so neither always gets the warmer start.
    Sample a{}, b{};
    if (i % 2 == 0) {
      a = run_once(first.data());
      b = run_once(second.data());
    } else {
      b = run_once(second.data());
      a = run_once(first.data());
    }
    wall.push_back(a.wall / b.wall);
    first_wall.push_back(a.wall);
    if (b.cpu > 0) cpu.push_back(a.cpu / b.cpu);
  }
  std::printf("%.3f %.3f %.3f\n", median(wall), cpu.empty() ? 0.0 : median(cpu), median(first_wall));
}

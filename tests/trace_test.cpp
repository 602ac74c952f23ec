// Watches the system calls of real runs: the tool opens nothing for writing,
// writes only to standard output, changes no file, and reads at most
// 200000 bytes (plus one C-library buffer) from each file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t READ_ALLOWANCE = READ_LIMIT + 4096;

// System calls that would change a file or its metadata.
const std::set<std::string> CHANGING = {
    "creat", "truncate", "ftruncate", "fallocate", "unlink", "unlinkat",
    "rename", "renameat", "renameat2", "mkdir", "mkdirat", "rmdir", "link",
    "linkat", "symlink", "symlinkat", "chmod", "fchmod", "fchmodat", "chown",
    "fchown", "lchown", "fchownat", "utime", "utimes", "utimensat", "futimesat",
    "mknod", "mknodat", "setxattr", "lsetxattr", "fsetxattr", "removexattr",
    "sendfile", "copy_file_range", "splice", "tee", "msync"};
const std::set<std::string> WRITING = {"write", "pwrite64", "writev", "pwritev", "pwritev2"};
const std::set<std::string> READING = {"read", "pread64", "readv", "preadv", "preadv2"};

bool strace_works() {
  static const bool works = [] {
    return std::system("strace -o /dev/null true >/dev/null 2>&1") == 0;
  }();
  return works;
}

// Runs the tool under strace and returns what the trace shows is wrong.
std::vector<std::string> faults_of_run(const std::vector<std::string>& files) {
  const std::string log = (fs::current_path() / "trace.log").string();
  // LeakSanitizer cannot run under ptrace; the sanitizer build must skip it.
  run_tool(files, {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-qq",
                   "-s", "256", "-o", log});

  static const std::regex CALL(R"(^(?:\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+))");
  static const std::regex OPEN_PATH(R"re("((?:[^"\\]|\\.)*)")re");
  std::vector<std::string> faults;
  std::map<long, std::string> file_of_fd;
  std::map<std::string, std::uintmax_t> bytes_read;
  std::ifstream trace(log);
  for (std::string line; std::getline(trace, line);) {
    std::smatch m;
    if (!std::regex_search(line, m, CALL)) continue;
    const std::string name = m[1], args = m[2];
    const long result = std::stol(m[3]);
    const long fd = std::atol(args.c_str());
    if (name == "open" || name == "openat" || name == "openat2") {
      if (std::regex_search(args, std::regex("O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND")))
        faults.push_back("opened for writing: " + line);
      std::smatch path;
      if (result >= 0 && std::regex_search(args, path, OPEN_PATH))
        for (const auto& f : files)
          if (path[1] == f) file_of_fd[result] = f;
    } else if (name == "close") {
      file_of_fd.erase(fd);
    } else if (CHANGING.count(name)) {
      faults.push_back("changes a file: " + line);
    } else if (WRITING.count(name) && fd != 1) {
      faults.push_back("writes elsewhere than standard output: " + line);
    } else if (READING.count(name) && file_of_fd.count(fd) && result > 0) {
      bytes_read[file_of_fd[fd]] += static_cast<std::uintmax_t>(result);
    }
  }
  for (const auto& [file, bytes] : bytes_read)
    if (bytes > READ_ALLOWANCE)
      faults.push_back(file + ": read " + std::to_string(bytes) + " bytes");
  if (bytes_read.empty()) faults.push_back("the trace shows no read of the files");
  return faults;
}

TEST(Trace, ReadsLittleAndWritesNothing) {
  if (tool_is_emulated())
    GTEST_SKIP() << "the tool runs under an emulator: strace would trace the emulator";
  if (!strace_works()) GTEST_SKIP() << "strace is missing or cannot trace here";
  const ScratchDir dir;
  dir.write("in/12345A.ok", vardek_bytes());
  dir.write("out/12345A.cmd", vardek_bytes({.long_id = true}));
  for (const char* path : {"in/22222A.ok", "out/22222A.cmd"}) {
    dir.write(path, vardek_bytes({.middle = READ_LIMIT - 33}));
    fs::resize_file(path, std::uintmax_t{1} << 30);
  }
  fs::create_symlink("/dev/zero", "in/33333A.ok");

  const std::vector<std::string> runs[] = {
      {"in/12345A.ok", "out/12345A.cmd"},
      {"in/22222A.ok", "out/22222A.cmd"},
      {"in/33333A.ok", "in/12345A.ok"},
  };
  for (const auto& files : runs) {
    SCOPED_TRACE(files[0] + " " + files[1]);
    EXPECT_EQ(faults_of_run(files), std::vector<std::string>{});
  }
}

}  // namespace

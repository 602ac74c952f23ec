// Whatever the tool is given, it answers with its own status and message,
// promptly, and without crashing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t GIB = std::uintmax_t{1} << 30;

std::string every_odd_byte() {
  std::string s = "in/";
  for (int c = 0x01; c <= 0xFF; ++c)
    if (c < 0x20 || c >= 0x80) s += static_cast<char>(c);
  return s;
}

// A file whose first bytes are `head`, then holes up to `size`.
void write_sparse(const ScratchDir& dir, const std::string& path, const Bytes& head,
                  std::uintmax_t size) {
  dir.write(path, head);
  fs::resize_file(dir.path() / path, size);
}

TEST(HostileInput, Table) {
  // Links, FIFOs, devices, raw bytes in arguments and arguments longer than
  // a Windows command line are Unix matters.
  if (tool_is_windows_program()) GTEST_SKIP() << "not for a Windows program";
  const ScratchDir dir;
  dir.write("in/12345A.ok", vardek_bytes());
  fs::create_symlink("/dev/zero", "in/20000A.ok");
  fs::create_symlink("/dev/null", "in/20001A.ok");
  fs::create_symlink("20002A.ok", "in/20002A.ok");
  fs::create_symlink("nowhere/at/all", "in/20003A.ok");
  ASSERT_EQ(mkfifo("in/20004A.ok", 0600), 0);
  ASSERT_EQ(mkfifo("in/20005A.ok", 0600), 0);
  ASSERT_EQ(mkfifo("in/20006A.ok", 0600), 0);
  dir.write("plain", {});
  write_sparse(dir, "out/30000A.cmd", vardek_bytes({.middle = READ_LIMIT - 33}), GIB);
  write_sparse(dir, "out/30001A.cmd", {}, GIB);

  const std::string long_name(100000, 'a');
  const std::string long_path = std::string(99987, 'x') + "/in/12345A.ok";
  const std::string odd = every_odd_byte();
  const std::string odd_dirs = odd + "/in/12345A.ok";
  std::vector<std::string> many = {"in/12345A.ok", "out/30000A.cmd"};
  for (int i = 0; i < 500; ++i) many.push_back(i % 2 ? "-x" : odd);
  const std::vector<std::string> stdin_closed = {"sh", "-c", "exec \"$@\" <&-", "sh"};
  const std::vector<std::string> reader_gone = {
      "perl", "-e", "pipe(R, W); close R; open STDOUT, '>&', W; exec @ARGV"};
  // The writer holds the FIFO before the tool starts, and sends the file in
  // two parts with a pause between them.
  const std::vector<std::string> slow_writer = {
      "sh", "-c",
      "exec 3<>in/20005A.ok; { head -c 10 in/12345A.ok; sleep 0.3;"
      " tail -c +11 in/12345A.ok; } >&3 & exec \"$@\" 3>&-",
      "sh"};
  // One byte first, then, after a pause, the rest: a read that gives a
  // single byte is a part like any other.
  const std::vector<std::string> one_byte_first = {
      "sh", "-c",
      "exec 3<>in/20006A.ok; { head -c 1 in/12345A.ok; sleep 0.5;"
      " tail -c +2 in/12345A.ok; } >&3 & exec \"$@\" 3>&-",
      "sh"};

  // clang-format off
  const Row rows[] = {
    {{long_name},          bad_name(long_name), 4, "100000-character name"},
    {{long_path},          no_open(long_path), 3, "100000-character path of the right form"},
    {{odd},                bad_name(odd), 4, "control and high bytes, echoed as they are"},
    {{odd_dirs},           no_open(odd_dirs), 3, "control and high bytes in directories"},
    {many,                 "0\n", 0, "hundreds of arguments: two are looked at"},
    {{"in/20000A.ok"},     not_valid("in/20000A.ok"), 4, "link to /dev/zero: one bounded read"},
    {{"in/20001A.ok"},     not_valid("in/20001A.ok"), 4, "link to /dev/null"},
    {{"in/20002A.ok"},     no_open("in/20002A.ok"), 3, "link to itself"},
    {{"in/20003A.ok"},     no_open("in/20003A.ok"), 3, "dangling link"},
    {{"in/20004A.ok"},     not_valid("in/20004A.ok"), 4, "FIFO without a writer: no wait"},
    {{"in/20005A.ok"},     "0\n", 0, "FIFO with a slow writer: waits for all of it", slow_writer},
    {{"in/20006A.ok"},     "0\n", 0, "FIFO whose writer sends one byte, then the rest", one_byte_first},
    {{"in/12345A.ok"},     "0\n", 0, "standard input closed: the file gets descriptor 0", stdin_closed},
    {{"in/12345A.ok"},     "", 0, "the reader of standard output has gone: still the verdict's status", reader_gone},
    {{"plain/in/12345A.ok"}, no_open("plain/in/12345A.ok"), 3, "path through a file"},
    {{"out/30000A.cmd"},   "0\n", 0, "1 GiB sparse, valid first 200000 bytes"},
    {{"out/30001A.cmd"},   not_valid("out/30001A.cmd"), 4, "1 GiB of holes"},
    {{"in/12345A.ok", "out/30000A.cmd"}, "0\n", 0, "small against 1 GiB"},
  };
  // clang-format on
  expect_rows(rows);
}

// A file that cannot be read for lack of permission. Root reads anything, so
// as root the tool runs as nobody.
TEST(HostileInput, UnreadableFile) {
  if (tool_is_windows_program()) GTEST_SKIP() << "not for a Windows program";
  const ScratchDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec);
  dir.write("in/12345A.ok", vardek_bytes());
  dir.write("in/54321A.ok", vardek_bytes());
  fs::permissions("in/54321A.ok", fs::perms::none);

  std::vector<std::string> as_nobody;
  if (geteuid() == 0) {
    as_nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    if (run_tool({"in/12345A.ok"}, as_nobody) != Outcome{"0\n", "", 0})
      GTEST_SKIP() << "running as root and cannot run the tool as nobody "
                      "(setpriv missing, or the build tree is not readable by others)";
  }
  EXPECT_EQ(run_tool({"in/54321A.ok"}, as_nobody),
            (Outcome{no_open("in/54321A.ok"), "", 3}));
  EXPECT_EQ(run_tool({"-q", "in/12345A.ok", "in/54321A.ok"}, as_nobody),
            (Outcome{"", "", 3}));
}

// The pages of the binary's RELRO segment, as addresses of the running
// process whose binary starts at `base`; empty if it has none.
std::pair<std::uintptr_t, std::uintptr_t> relro_pages(const std::string& binary,
                                                      std::uintptr_t base) {
  std::ifstream file(binary, std::ios::binary);
  ElfW(Ehdr) header{};
  file.read(reinterpret_cast<char*>(&header), sizeof header);
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  for (std::size_t i = 0; file && i < header.e_phnum; ++i) {
    ElfW(Phdr) segment{};
    file.seekg(static_cast<std::streamoff>(header.e_phoff + i * sizeof segment));
    file.read(reinterpret_cast<char*>(&segment), sizeof segment);
    if (segment.p_type != PT_GNU_RELRO) continue;
    return {(base + segment.p_vaddr) & ~(page - 1),
            (base + segment.p_vaddr + segment.p_memsz) & ~(page - 1)};
  }
  return {0, 0};
}

// While the tool runs, the relocations it was linked to protect are
// read-only in fact: every page of its RELRO segment is mapped without
// write access. A FIFO whose only writer is this test holds the tool in its
// read, after start-up, while /proc shows its mappings.
TEST(HostileInput, RelocationsReadOnlyWhileRunning) {
  if (tool_is_windows_program() || tool_is_emulated())
    GTEST_SKIP() << "the mappings of a native Linux process";
  const ScratchDir dir;
  fs::create_directory("in");
  ASSERT_EQ(mkfifo("in/12345A.ok", 0600), 0);
  const int writer = open("in/12345A.ok", O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  const std::string binary = fs::canonical(tool_binary()).string();
  std::string argument = "in/12345A.ok";
  char* argv[] = {const_cast<char*>(binary.c_str()), argument.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  // The FIFO among the tool's descriptors: start-up is over.
  const fs::path fifo = fs::canonical("in/12345A.ok");
  const fs::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
  bool reading = false;
  for (int tries = 0; !reading && tries < 2000; ++tries) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(descriptors, ignored))
      reading = reading || fs::read_symlink(entry.path(), ignored) == fifo;
    if (!reading) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string whole((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  close(writer);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(reading) << "the tool never opened the FIFO";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4) << "status " << status;

  // Each mapping: its range, its access and what it maps.
  struct Mapping { std::uintptr_t start, end; std::string access, path; unsigned long offset; };
  std::vector<Mapping> mappings;
  std::istringstream lines(whole);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    Mapping m{};
    char dash = 0;
    std::string device, inode;
    fields >> std::hex >> m.start >> dash >> m.end >> m.access >> m.offset >> device >> inode;
    std::getline(fields >> std::ws, m.path);
    mappings.push_back(m);
  }
  std::uintptr_t base = 0;
  for (const auto& m : mappings)
    if (m.path == binary && m.offset == 0) { base = m.start; break; }
  ASSERT_NE(base, 0U) << whole;
  const auto [start, end] = relro_pages(binary, base);
  ASSERT_LT(start, end) << "no whole page of RELRO in " << binary;
  for (const auto& m : mappings) {
    if (m.start < end && start < m.end) {
      EXPECT_EQ(m.access[1], '-') << "writable: " << std::hex << m.start << "-" << m.end << "\n"
                                  << whole;
    }
  }
}

}  // namespace

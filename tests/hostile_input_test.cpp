// Whatever the tool is given, it answers with its own status and message,
// promptly, and without crashing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

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

}  // namespace

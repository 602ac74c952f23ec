// tarnwick-inspect where operators run it: a spool that changes during the
// walk, a terminal shared by the report and the progress line, few
// descriptors, little memory, a disk that fills, and the options for acting
// on what it finds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "directories.h"
#include "judge.h"
#include "read_strategy.h"
#include "run_tool.h"
#include "vardek_bytes.h"
#include "walk.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string VALID_TAIL =
    ": valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n";

std::vector<std::string> shell(const std::string& script) { return {"sh", "-c", script + "; exec \"$@\"", "sh"}; }

bool unix_native() { return !tool_is_windows_program() && !tool_is_emulated(); }

// Folders of one valid file each: spool/NNNN/in/12345A.ok.
void write_folders(const ScratchDir& dir, int count, const std::string& root = "spool") {
  for (int i = 0; i < count; ++i) dir.write(root + "/" + std::to_string(1000 + i) + "/in/12345A.ok", vardek_bytes());
}

TEST(InspectField, Defects) {
  if (!unix_native()) GTEST_SKIP() << "limits, FIFOs and /dev/full are native Unix matters";
  const ScratchDir dir;
  write_folders(dir, 700);
  dir.write("tree/in/12345A.ok/in/54321A.ok", vardek_bytes());
  fs::create_directories(dir.path() / "tree/in/22222A.ok");
  dir.write("nul-list", Bytes{'t', '9', '/', 'x', '\0', '/', 'i', 'n', '/', '1', '2', '3', '4', '5', 'A', '.', 'o', 'k', '\n'});
  ASSERT_EQ(mkfifo("after.fifo", 0600), 0);
  ASSERT_EQ(mkfifo("in-1.fifo", 0600), 0);
  const std::string seven_hundred = "700 files judged: 700 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped\n";

  // Two FIFOs named first hold both workers while the walk runs ahead,
  // each file waiting with its folder open.
  std::vector<std::string> held = {"--summary", "-j", "2", "in/11111A.ok"};
  for (int i = 0; i < 63; ++i) held.emplace_back("x");
  held.emplace_back("in/22222A.ok");
  for (int i = 0; i < 63; ++i) held.emplace_back("x");
  held.emplace_back("spool");
  fs::create_directories("in");
  ASSERT_EQ(mkfifo("in/11111A.ok", 0600), 0);
  ASSERT_EQ(mkfifo("in/22222A.ok", 0600), 0);
  const std::vector<std::string> slow_writers = {
      "sh", "-c",
      "(sleep 1; echo >in/11111A.ok) & (sleep 1; echo >in/22222A.ok) & exec prlimit --nofile=64:64 \"$@\"",
      "sh"};

  const std::string memory_limit = "ulimit -v 400000";
  const Outcome one_thread = run_inspector({"--summary", "-j", "1", "spool"}, shell(memory_limit));
  // clang-format off
  const Row rows[] = {
    {{"--summary", "-j", "64", "spool"}, seven_hundred, 0, "threads that cannot all start: the rest do the work", shell(memory_limit)},
    {held, "828 files judged: 700 valid, 2 not valid, 126 bad names, 0 not opened; 0 skipped\n", 4,
     "files waiting to be judged hold no descriptor a file needs", slow_writers},
    {{"tree"}, "tree/in/12345A.ok: cannot open: Is a directory\ntree/in/12345A.ok/in/54321A.ok" + VALID_TAIL +
               "tree/in/22222A.ok: cannot open: Is a directory\n"
               "3 files judged: 1 valid, 0 not valid, 0 bad names, 2 not opened; 0 skipped\n", 3,
     "a directory named like a file, in a walk: reported as the tool would, and walked"},
    {{"-j", "1", "spool", "after.fifo"}, "", 3, "a full disk stops the run at once",
     shell("(timeout 3 sh -c 'exec 3>after.fifo; touch fifo-was-opened') & exec >/dev/full")},
  };
  // clang-format on
  // A sanitizer's runtime does not start under the limit: nothing to compare.
  if (one_thread.status == 0) {
    EXPECT_EQ(run_inspector(rows[0].args, rows[0].launcher), (Outcome{rows[0].out, "", 0})) << rows[0].why;
  }
  for (std::size_t i = 1; i < 3; ++i) {
    SCOPED_TRACE(rows[i].why);
    EXPECT_EQ(run_inspector(rows[i].args, rows[i].launcher), (Outcome{rows[i].out, "", rows[i].status}));
  }
  EXPECT_EQ(run_inspector(rows[3].args, rows[3].launcher),
            (Outcome{"", "tarnwick-inspect: cannot write the report\n", 3}));
  EXPECT_FALSE(fs::exists("fifo-was-opened")) << "the walk went on after the write failed";

  // A NUL in a list of lines: the name checked would not be the file opened.
  EXPECT_EQ(run_inspector({"--files-from", "nul-list"}),
            (Outcome{"", "tarnwick-inspect: the list holds a NUL byte, which no path can: for a list of paths "
                         "that end in NUL bytes, give -0\n", 3}));
}

// A sink that fails (no memory for the report, say) stops every thread and
// is thrown on: the process does not end in std::terminate.
TEST(InspectField, AFailingSinkStopsTheThreads) {
  const ScratchDir dir;
  write_folders(dir, 300);
  for (const unsigned jobs : {1U, 2U, 8U}) {
    SCOPED_TRACE(jobs);
    bool given = false;
    int reports = 0;
    const auto operands = [&](std::string& operand) {
      operand = "spool";
      return !std::exchange(given, true);
    };
    EXPECT_THROW(inspect(operands, jobs,
                         [&](FileReport&&) {
                           if (++reports == 70) throw std::runtime_error("out of memory");
                         },
                         {}),
                 std::runtime_error);
    EXPECT_EQ(reports, 70);
  }
}

// A file that cannot be read at an offset (a FUSE file opened as a stream)
// is read on from its start, as the tool reads it.
class StreamOnly final : public FileReader {
 public:
  explicit StreamOnly(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::int64_t read_at(unsigned char*, std::size_t, std::uint64_t) override { return -1; }
  std::int64_t read_on(unsigned char* buffer, std::size_t size) override {
    const std::size_t got = std::min(size, bytes_.size() - at_);
    std::copy_n(bytes_.data() + at_, got, buffer);
    at_ += got;
    return static_cast<std::int64_t>(got);
  }
  std::string failure() const override { return "Illegal seek"; }
  bool refuses_offsets() const override { return true; }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
};

TEST(InspectField, StreamsWhatRefusesOffsets) {
  for (const std::size_t middle : {std::size_t{0}, std::size_t{10000}}) {
    StreamOnly file(vardek_bytes({.middle = middle}));
    FileSample sample;
    std::string error;
    ASSERT_TRUE(read_regular(file, middle + 33, sample, error)) << error;
    EXPECT_EQ(check_content(sample.checked()).failed, ContentTest::none);
    EXPECT_EQ(sample.length, middle + 33);
  }
}

// An entry listed as a regular file that is something else, or nothing,
// when it is opened: its kind, never an empty file.
TEST(InspectField, EntryChangedAfterTheListing) {
  if (!unix_native()) GTEST_SKIP() << "links and FIFOs are Unix matters";
  const ScratchDir dir;
  struct Change {
    const char* name;
    const char* shell;  // run in the folder, between the listing and the open
    const char* verdict;
    const char* kind;
  };
  // clang-format off
  const Change changes[] = {
    {"12345A.ok", "ln -sf /etc/passwd 12345A.ok.new && mv 12345A.ok.new 12345A.ok", "skipped", "symlink"},
    {"22222A.ok", "rm 22222A.ok && mkfifo 22222A.ok",                               "skipped", "fifo"},
    {"33333A.ok", "rm 33333A.ok",                                                   "vanished", ""},
    {"44444A.ok", "true",                                                           "valid", ""},
  };
  // clang-format on
  for (const Change& change : changes) dir.write(std::string("in/") + change.name, vardek_bytes());
  const Listing listing = list_directory(nullptr, "in", "in");
  ASSERT_TRUE(listing.directory);
  ASSERT_EQ(std::system((std::string("cd in && ") + changes[0].shell + " && " + changes[1].shell + " && " +
                         changes[2].shell).c_str()),
            0);
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    const FileReport report = judge_file(std::string("in/") + change.name, listing.directory.get(), change.name);
    EXPECT_EQ(verdict_name(report.verdict), change.verdict);
    if (report.verdict == Verdict::skipped) {
      EXPECT_EQ(kind_name(report.kind), change.kind);
    }
  }
}

}  // namespace

// tarnwick-inspect where operators run it: a spool that changes during the
// walk, a terminal shared by the report and the progress line, few
// descriptors, little memory, a disk that fills, and the options for acting
// on what it finds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "judge/judge.h"
#include "judge/read_strategy.h"
#include "platform/directories.h"
#include "platform/limits.h"
#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"
#include "run/run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::literals;

const std::string VALID_TAIL =
    ": valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n";

std::vector<std::string> shell(const std::string& script) { return {"sh", "-c", script + "\nexec \"$@\"", "sh"}; }

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
  const std::string seven_hundred = summary_line({.valid = 700});

  // Two FIFOs named first hold both workers while the walk runs ahead,
  // each file waiting with its folder open. Their writers open them for
  // reading and writing, which never waits: a FIFO read before its writer
  // came leaves no writer blocked for good.
  std::vector<std::string> held = {"--summary", "-j", "2", "in/11111A.ok"};
  for (int i = 0; i < 63; ++i) held.emplace_back("x");
  held.emplace_back("in/22222A.ok");
  for (int i = 0; i < 63; ++i) held.emplace_back("x");
  held.emplace_back("spool");
  fs::create_directories("in");
  ASSERT_EQ(mkfifo("in/11111A.ok", 0600), 0);
  ASSERT_EQ(mkfifo("in/22222A.ok", 0600), 0);
  ASSERT_EQ(mkfifo("in/33333A.ok", 0600), 0);
  const std::vector<std::string> slow_writers = {
      "sh", "-c",
      "(sleep 1; echo 1<>in/11111A.ok) & (sleep 1; echo 1<>in/22222A.ok) & exec prlimit --nofile=64:64 \"$@\"",
      "sh"};

  const std::string memory_limit = "ulimit -v 400000";
  const Outcome one_thread = run_inspector({"--summary", "-j", "1", "spool"}, shell(memory_limit));
  // clang-format off
  const Row rows[] = {
    {{"--summary", "-j", "64", "spool"}, seven_hundred, 0, "threads that cannot all start: the rest do the work", shell(memory_limit)},
    {held, summary_line({.valid = 700, .not_valid = 2, .missing = 126}), 3,
     "files waiting to be judged hold no descriptor a file needs", slow_writers},
    {{"tree"}, "tree/in/12345A.ok: cannot open: Is a directory\ntree/in/12345A.ok/in/54321A.ok" + VALID_TAIL +
               "tree/in/22222A.ok: cannot open: Is a directory\n" +
               summary_line({.valid = 1, .not_opened = 2}), 3,
     "a directory named like a file, in a walk: reported as the tool would, and walked"},
    {{"-j", "1", "spool", "in/33333A.ok"}, "", 3, "a full disk stops the run at once",
     shell("(timeout 3 sh -c 'exec 3>in/33333A.ok; touch fifo-was-opened') & exec >/dev/full")},
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
            (Outcome{"", "tarnwick-inspect: cannot write the report: No space left on device\n", 3}));
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
  for (const RunOptions& run : {RunOptions{.jobs = 1}, RunOptions{.jobs = 2}, RunOptions{.jobs = 8},
                                RunOptions{.io = Io::uring, .jobs = 0}}) {
    SCOPED_TRACE(run.jobs);
    bool given = false;
    int reports = 0;
    const auto operands = [&](std::string& operand) {
      operand = "spool";
      return !std::exchange(given, true);
    };
    EXPECT_THROW(inspect(operands, {}, {}, run,
                         [&](FileReport&&) {
                           if (++reports == 70) throw std::runtime_error("out of memory");
                         },
                         {}),
                 std::runtime_error);
    EXPECT_EQ(reports, 70);
  }
}

// A count of waits for the disk that says every batch waited, so that the
// default's pool of threads grows to its most on any cache.
std::uint64_t always_waiting() {
  thread_local std::uint64_t waits = 0;
  return waits += 1000;
}

// The default adds threads during the run while files wait on the disk:
// the reports still come in the walk's order, the same as on one thread,
// and under a low limit on descriptors no file goes unopened.
TEST(InspectField, ThreadsAddedDuringARunChangeNoReport) {
  const ScratchDir dir;
  write_folders(dir, 3000);
  dir.write("spool/1500/in/12345B.ok", vardek_bytes().substr(0, 20));
  dir.write("spool/2500/in/bad-name", vardek_bytes());
  const auto reports = [&](Io io, unsigned jobs, std::uint64_t (*waits)()) {
    std::vector<std::string> lines;
    bool given = false;
    inspect([&](std::string& operand) { operand = "spool"; return !std::exchange(given, true); }, {}, {},
            {.io = io, .jobs = jobs, .thread_waits = waits},
            [&](FileReport&& report) {
              lines.push_back(report.path + ' ' + std::string(verdict_name(report.verdict)) + ' ' + report.error.text);
            },
            {});
    return lines;
  };
  const std::vector<std::string> one = reports(Io::threads, 1, nullptr);
  ASSERT_EQ(one.size(), 3002U);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  struct Row {
    Io io;
    unsigned jobs;
    std::uint64_t (*waits)();
    rlim_t descriptors;  // 0: as they are
    const char* why;
  };
  // clang-format off
  const Row rows[] = {
    {Io::threads,   0, nullptr,        0,  "the threads, as the system counts waits"},
    {Io::threads,   0, always_waiting, 0,  "the threads, every batch waiting: threads added up to the most"},
    {Io::threads,   0, always_waiting, 64, "the same, 64 descriptors: growth bounded, no file unopened"},
    {Io::threads,   8, always_waiting, 0,  "-j 8: waits add no thread"},
    {Io::automatic, 0, nullptr,        0,  "the default: the ring where there is one"},
    {Io::uring,     0, nullptr,        64, "the ring, 64 descriptors: no file unopened"},
    {Io::uring,     3, nullptr,        0,  "the ring on three threads"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    rlimit low = limit;
    if (row.descriptors != 0) low.rlim_cur = row.descriptors;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const std::vector<std::string> got = reports(row.io, row.jobs, row.waits);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(got, one);
  }
}

// How many folders a walk may hold open under a limit on descriptors: all
// that the threads' files, the standard streams, the list and the C library
// leave, and never fewer than 8.
TEST(InspectField, DirectoryBudget) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  struct Row {
    unsigned jobs;
    rlim_t descriptors;
    std::size_t budget;
    const char* why;
  };
  // clang-format off
  const Row rows[] = {
    {0, 20,   8,    "below the reserve: 8 all the same"},
    {0, 24,   8,    "16 kept back, 8 left"},
    {0, 25,   9,    "one more descriptor, one more folder"},
    {4, 29,   9,    "each thread keeps one back"},
    {0, 1024, 1008, "a common limit"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    if (row.descriptors > limit.rlim_max) continue;
    rlimit low = limit;
    low.rlim_cur = row.descriptors;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const std::size_t budget = directory_budget(row.jobs);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(budget, row.budget);
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
  SystemError failure() const override { return {"Illegal seek", ESPIPE}; }
  bool refuses_offsets() const override { return true; }

 private:
  Bytes bytes_;
  std::size_t at_ = 0;
};

TEST(InspectField, StreamsWhatRefusesOffsets) {
  for (const std::size_t middle : {std::size_t{0}, std::size_t{10000}}) {
    StreamOnly file(vardek_bytes({.middle = middle}));
    FileSample sample;
    SystemError error;
    ASSERT_TRUE(read_regular(file, middle + 33, sample, error)) << error.text;
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
    const FileReport report = judge_file(std::string("in/") + change.name, listing.directory.get(), change.name, {});
    EXPECT_EQ(verdict_name(report.verdict), change.verdict);
    if (report.verdict == Verdict::skipped) {
      EXPECT_EQ(kind_name(report.kind), change.kind);
    }
  }
}

// What a terminal shows after the bytes written to it: \r goes back to the
// start of the line, and what follows writes over it.
std::vector<std::string> screen(const std::string& bytes) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (column < line.size()) line[column] = c; else line += c;
      ++column;
    }
  }
  for (auto& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// Runs argv with standard output and standard error on one new terminal,
// as a user's interactive run has them; what came.
std::string run_on_terminal(const std::vector<std::string>& argv) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
  // Opened before the fork: a terminal that nobody has opened yet reads as
  // one whose last writer has gone.
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    dup2(slave, 1);
    dup2(slave, 2);
    std::vector<char*> words;
    for (const auto& word : argv) words.push_back(const_cast<char*>(word.c_str()));
    words.push_back(nullptr);
    execvp(words[0], words.data());
    _exit(127);
  }
  close(slave);
  std::string all;
  char buffer[65536];
  for (;;) {
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, 20000) <= 0) break;
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;  // the terminal's last writer has gone
    all.append(buffer, static_cast<std::size_t>(got));
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  return all;
}

std::size_t count_of(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// A run that lasts: a FIFO named first, whose writer is slow, then a tree
// whose report is written in several pieces.
TEST(InspectField, ProgressLine) {
  if (!unix_native()) GTEST_SKIP() << "needs a native run on a Unix terminal";
  const ScratchDir dir;
  for (int i = 0; i < 3000; ++i) dir.write("spool/" + std::to_string(i / 50) + "/in/" + std::to_string(10000 + i) + "A.ok", vardek_bytes());
  fs::create_directories("in");
  ASSERT_EQ(mkfifo("in/11111A.ok", 0600), 0);
  const char* binary = std::getenv("TARNWICK_INSPECT_BINARY");
  const std::string inspector = binary != nullptr ? binary : TARNWICK_BUILT_INSPECTOR;
  // The writer has the FIFO open before the run starts, and writes late.
  const std::string slow = "(exec 3<>in/11111A.ok; sleep 1.5; echo >&3) & sleep 0.2\n";
  const std::string writer = slow + "exec \"$@\"";
  const std::vector<std::string> args = {"-j", "2", "in/11111A.ok", "spool"};

  std::vector<std::string> argv = {"sh", "-c", writer, "sh", inspector};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string all = run_on_terminal(argv);
  ASSERT_FALSE(all.empty());
  const Outcome piped = run_inspector(args, shell(slow));
  EXPECT_EQ(piped.err, "") << "no progress line when standard error is not a terminal";
  ASSERT_EQ(piped.status, 4);

  std::vector<std::string> expected;
  std::istringstream lines(piped.out);
  for (std::string line; std::getline(lines, line);) expected.push_back(line);
  EXPECT_EQ(screen(all), expected) << "the progress line is rubbed out before the report, and at the end";
  // Its pace (none in the first half second, ten a second at most) is a
  // table of InspectPure.ProgressPace, not a matter of this machine's clock.
  EXPECT_GT(count_of(all, " files/s"), 0U) << "a run that waits on a slow writer shows its progress";
}

// A spool in use: a writer makes files under a dot name and renames them
// in, a consumer deletes files, while the walk goes on.
TEST(InspectField, LiveSpool) {
  if (tool_is_windows_program()) GTEST_SKIP() << "renames over open files are a Unix matter here";
  const ScratchDir dir;
  const Bytes valid = vardek_bytes();
  std::vector<std::string> old_files;
  for (int i = 0; i < 2000; ++i) {
    old_files.push_back("spool/" + std::to_string(i % 20) + "/in/" + std::to_string(10000 + i) + "A.ok");
    dir.write(old_files.back(), valid);
  }
  // Old enough for --min-age: two hours.
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const auto& file : old_files) fs::last_write_time(file, old);

  std::size_t round = 0;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--json", "-j", "2", "--exclude", ".*", "spool"},
           {"--json", "-j", "1", "--exclude", ".*", "--min-age", "1h", "spool"}}) {
    SCOPED_TRACE(args.size());
    std::atomic<bool> done{false};
    std::atomic<int> removed{0};
    std::thread writer([&] {
      for (int i = 0; !done; ++i) {
        const std::string folder = "spool/" + std::to_string(i % 20) + "/in/";
        const std::string name = std::to_string(90000 + i % 9000) + "A.ok";
        dir.write(folder + "." + name + ".tmp", valid);
        fs::rename(dir.path() / (folder + "." + name + ".tmp"), dir.path() / (folder + name));
      }
    });
    std::thread remover([&] {
      for (std::size_t i = round; !done && i < old_files.size(); i += 3) {
        std::error_code ignored;
        if (fs::remove(dir.path() / old_files[i], ignored)) ++removed;
      }
    });
    const Outcome outcome = run_inspector(args);
    done = true;
    writer.join();
    remover.join();
    std::istringstream lines(outcome.out);
    nlohmann::json summary;
    for (std::string line; std::getline(lines, line);) {
      const auto record = nlohmann::json::parse(line);
      if (record.at("type") == "summary") {
        summary = record;
        continue;
      }
      const std::string path = record.at("path");
      const std::string verdict = record.at("verdict");
      EXPECT_TRUE(verdict == "valid" || verdict == "vanished" || verdict == "skipped") << line;
      if (path.find("/in/9") != std::string::npos && args.size() > 6) {
        EXPECT_EQ(record.value("kind", ""), "young") << "--min-age keeps the writer's files out: " << line;
      }
    }
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(summary.value("cannot-open", -1), 0) << summary;
    EXPECT_GT(removed.load(), 0);
    ++round;
  }
}

// What an operator acts on, and what is left out of the walk.
TEST(InspectField, Options) {
  if (!unix_native()) GTEST_SKIP() << "raw paths and mounts are native Unix matters";
  const ScratchDir dir;
  const Bytes valid = vardek_bytes();
  dir.write("t/in/12345A.ok", valid);
  dir.write("t/in/22222A.ok", patched(valid, 0, {'!'}));
  dir.write("t/in/.33333A.ok.tmp", valid);
  dir.write("t/in/deep/in/44444A.ok", {});
  dir.write("t/out/x y.cmd", valid);
  dir.write("t/.cache/in/55555A.ok", valid);
  const std::string a = "t/in/12345A.ok" + VALID_TAIL;
  const std::string b = "t/in/22222A.ok: not valid: marker at offset 0 (0x0): found 21; expected 23\n";
  const std::string d = "t/in/deep/in/44444A.ok: not valid: length: 0 bytes read, at least 33 needed\n";
  // clang-format off
  const Row rows[] = {
    {{"-l", "t"}, "t/in/.33333A.ok.tmp\nt/in/22222A.ok\nt/in/deep/in/44444A.ok\nt/out/x y.cmd\n", 4, "-l: the failures' paths alone"},
    {{"-l", "--print0", "t"}, std::string("t/in/.33333A.ok.tmp\0t/in/22222A.ok\0t/in/deep/in/44444A.ok\0t/out/x y.cmd\0"sv), 4, "--print0"},
    {{"--exclude", ".*", "--exclude", "x *", "t"}, a + b + d +
      summary_line({.valid = 1, .not_valid = 2, .excluded = 3}), 4, "--exclude: a folder that matches is not entered"},
    {{"--exclude", "[.d]*", "--summary", "t"}, summary_line({.valid = 1, .not_valid = 1, .bad_names = 1, .excluded = 3}), 4, "a set"},
    {{"--max-depth", "2", "--exclude", ".*", "-q", "t"}, b + "t/out/x y.cmd: bad name: serial stem \"\" has 0 characters, not 6 or 9: stopped by 0x78 'x' at position 0 of the name (byte 6 of the path)\n" +
      summary_line({.valid = 1, .not_valid = 1, .bad_names = 1, .excluded = 2}), 4, "--max-depth 2: t/in/deep is not entered"},
    {{"--max-depth", "1", "--summary", "t"}, summary_line({}), 0, "--max-depth 1: the operand's entries only"},
    {{"--max-depth", "0", "--summary", "t", "t/in/12345A.ok"}, summary_line({.valid = 1}), 0, "--max-depth 0: a file named is still judged"},
    {{"--stats", "--summary", "--exclude", ".*", "--io", "threads", "t"}, summary_line({.valid = 1, .not_valid = 2, .bad_names = 1, .excluded = 2}) +
      "not valid, by content test: length 1, marker 1, identification 0, timestamp-head 0, end-record 0\n"
      "bad names, by naming rule: directory 0, stem 1, extension 0\n"
      "read by: threads\n", 4, "--stats"},
    {{"--stats", "--summary", "--exclude", ".*", "-j", "1", "t"}, summary_line({.valid = 1, .not_valid = 2, .bad_names = 1, .excluded = 2}) +
      "not valid, by content test: length 1, marker 1, identification 0, timestamp-head 0, end-record 0\n"
      "bad names, by naming rule: directory 0, stem 1, extension 0\n"
      "read by: one thread\n", 4, "--stats, -j 1"},
    {{"--json", "--stats", "--summary", "--exclude", ".*", "--io", "threads", "t"},
      R"({"type":"summary","schema":1,"files":4,"valid":1,"not-valid":2,"bad-name":1,"cannot-open":0,"skipped":0,"vanished":0,"excluded":2,"missing":0,)"
      R"("tests":{"length":1,"marker":1,"identification":0,"timestamp-head":0,"end-record":0},"rules":{"directory":0,"stem":1,"extension":0},"reader":"threads")" RUN_FIELDS "4}\n", 4, "--stats in JSON"},
    {{"--json", "--min-age", "1h", "t/in/12345A.ok"}, R"({"type":"file","path":"t/in/12345A.ok","verdict":"skipped","kind":"young"})" "\n"
      R"({"type":"summary","schema":1,"files":0,"valid":0,"not-valid":0,"bad-name":0,"cannot-open":0,"skipped":1,"vanished":0,"excluded":0,"missing":0)" RUN_FIELDS "0}\n", 0, "--min-age: too young to judge"},
    {{"--min-age", "1s", "--summary", "t/in/12345A.ok"}, summary_line({.valid = 1}), 0, "--min-age: old enough", shell("touch -d '2 seconds ago' t/in/12345A.ok")},
  };
  // clang-format on
  expect_inspector_rows(rows);

  struct BadCall {
    std::vector<std::string> args;
    std::string err;
  };
  const std::string hint = "Try 'tarnwick-inspect --help' for more information.\n";
  // clang-format off
  const BadCall calls[] = {
    {{"--print0", "t"},           "tarnwick-inspect: --print0 applies to -l, which is not given\n"},
    {{"-l", "--json", "t"},       "tarnwick-inspect: -l prints paths alone: not with --json or --summary\n"},
    {{"--min-age", "5x", "t"},    "tarnwick-inspect: --min-age takes a number and a unit, ms, s, m, h or d (30s, 5m, 2h), not '5x'\n"},
    {{"--min-age", "5", "t"},     "tarnwick-inspect: --min-age takes a number and a unit, ms, s, m, h or d (30s, 5m, 2h), not '5'\n"},
    {{"--max-depth", "-1", "t"},  "tarnwick-inspect: --max-depth takes a number of levels, 0 or more, not '-1'\n"},
    {{"--jobs", "0", "t"},        "tarnwick-inspect: --jobs takes a number of threads from 1 to 1024, not '0'\n"},
    {{"--min-files", "1e3", "t"}, "tarnwick-inspect: --min-files takes a number of files, 0 or more, not '1e3'\n"},
    {{"-q5", "t"},                "tarnwick-inspect: The following argument was not expected: -5\n"},
  };
  // clang-format on
  for (const auto& call : calls) {
    const Outcome outcome = run_inspector(call.args);
    EXPECT_EQ(outcome, (Outcome{"", call.err + hint, 3}));
  }

  // -l lists regular files alone, for a command that moves them: a folder
  // is said on standard error, and the run fails.
  fs::create_directories("t/out/12345Z.cmd/in");
  fs::create_directories("u/in");
  struct Said {
    std::vector<std::string> args;
    Outcome want;
    const char* why;
  };
  // clang-format off
  const Said said[] = {
    {{"-l", "--exclude", ".*", "t", "u/in/54321A.ok"},
     {"t/in/22222A.ok\nt/in/deep/in/44444A.ok\nt/out/x y.cmd\n",
      "tarnwick-inspect: t/out/12345Z.cmd: cannot open: Is a directory\n"
      "tarnwick-inspect: u/in/54321A.ok: cannot open: No such file or directory\n", 3},
     "a directory named like a file and a missing operand: said, not listed"},
    {{"--files-from", "t"},
     {summary_line({}), "tarnwick-inspect: cannot read all of the list 't': Is a directory\n", 3},
     "a list that cannot be read: the system's reason"},
  };
  // clang-format on
  for (const Said& row : said) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(run_inspector(row.args), row.want);
  }
}

// -x, over a file system mounted inside the tree.
TEST(InspectField, OneFileSystem) {
  if (!unix_native()) GTEST_SKIP() << "mounts are a native Linux matter";
  const ScratchDir dir;
  dir.write("t/in/12345A.ok", vardek_bytes());
  fs::create_directories("t/mnt");
  if (mount("tarnwick-test", (dir.path() / "t/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (not root, or no privilege)";
  dir.write("t/mnt/in/54321A.ok", vardek_bytes());
  const Outcome across = run_inspector({"--summary", "t"});
  const Outcome within = run_inspector({"--summary", "-x", "t"});
  const Outcome inside = run_inspector({"--summary", "-x", "t/mnt"});
  umount((dir.path() / "t/mnt").c_str());
  EXPECT_EQ(across.out, summary_line({.valid = 2}));
  EXPECT_EQ(within.out, summary_line({.valid = 1}));
  EXPECT_EQ(inside.out, summary_line({.valid = 1}));
}

// Odd things in a walk and on the command line: what the tool says, and
// what a walk leaves alone.
TEST(InspectField, OddFiles) {
  if (!unix_native()) GTEST_SKIP() << "devices, FIFOs and closed streams are native Unix matters";
  const ScratchDir dir;
  dir.write("in/12345A.ok", vardek_bytes());
  fs::create_directories("walk/in");
  const bool root = geteuid() == 0 && mknod("walk/in/12345A.ok", S_IFCHR | 0600, makedev(1, 3)) == 0;
  fs::create_directories("named/in");
  fs::create_symlink("/dev/null", "named/in/00000A.ok");
  ASSERT_EQ(mkfifo("named/in/22222A.ok", 0600), 0);
  const std::string slow_writer = "(exec 3<>named/in/22222A.ok; sleep 0.5; cat in/12345A.ok >&3) & sleep 0.2";
  // clang-format off
  const Row rows[] = {
    {{"in/12345A.ok"}, "in/12345A.ok" + VALID_TAIL + summary_line({.valid = 1}), 0,
     "standard input closed: the file opened in its place is read", shell("exec <&-")},
    {{"-j", "2", "in"}, "in/12345A.ok" + VALID_TAIL + summary_line({.valid = 1}), 0,
     "standard input closed, in a walk", shell("exec <&-")},
    {{"named/in/00000A.ok"}, "named/in/00000A.ok: not valid: length: 0 bytes read, at least 33 needed\n" +
     summary_line({.not_valid = 1}), 4, "/dev/null named: read as the tool reads it"},
    {{"named/in/22222A.ok"}, "named/in/22222A.ok" + VALID_TAIL + summary_line({.valid = 1}), 0,
     "a FIFO named, with a slow writer: read as the tool reads it", shell(slow_writer)},
  };
  // clang-format on
  expect_inspector_rows(rows);
  EXPECT_EQ(run_tool({"named/in/00000A.ok"}).status, 4);
  EXPECT_EQ(run_tool({"named/in/22222A.ok"}, shell(slow_writer)), (Outcome{"0\n", "", 0}));
  if (!root) GTEST_SKIP() << "mknod needs root: no character device in the walk";
  EXPECT_EQ(run_inspector({"walk"}), (Outcome{"walk/in/12345A.ok: skipped: character-device\n" +
                                              summary_line({.skipped = 1}),
                                              "", 0}));
}

}  // namespace

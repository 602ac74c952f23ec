// tarnwick-inspect, run as a user runs it: what it says of each kind of
// file, how it walks, that it agrees with the tool, and that it changes
// nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>

#include "command_line_table.h"
#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

namespace fs = std::filesystem;

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

// The verdict the tool's answer to one file stands for.
std::string verdict_of_tool(const Outcome& tool) {
  if (tool.out == "0\n" && tool.status == 0) return "valid";
  if (tool.out.starts_with("tarnwick: file '") && tool.status == 4) return "bad-name";
  if (tool.out.starts_with("tarnwick: File '") && tool.status == 4) return "not-valid";
  if (tool.out.starts_with("tarnwick: Cannot open") && tool.status == 3) return "cannot-open";
  return "unexpected: " + tool.out;
}

// The inspector's verdict on one file, from its JSON record; its exit
// status must be the tool's own for that verdict.
std::string verdict_of_inspector(const Outcome& inspector) {
  const auto record = nlohmann::json::parse(first_line(inspector.out), nullptr, false);
  if (!record.is_object()) return "no record: " + testing::PrintToString(inspector);
  const std::string verdict = record.at("verdict");
  const int status = verdict == "valid" ? 0 : verdict == "cannot-open" ? 3 : 4;
  if (inspector.status != status) return verdict + " with status " + std::to_string(inspector.status);
  return verdict;
}

// The tool's verdict, but for a path that names nothing: the tool calls a
// badly formed one a bad name, the inspector, whose operands are paths to
// audit, a path it cannot open.
void expect_agreement(const std::string& file, const std::string& why) {
  SCOPED_TRACE(why + ": " + file);
  std::string path(trim_quotes(file));
  std::error_code error;
  const bool names_nothing = !fs::exists(fs::symlink_status(path, error));
  EXPECT_EQ(verdict_of_inspector(run_inspector({"--json", file})),
            names_nothing ? "cannot-open" : verdict_of_tool(run_tool({file})));
}

// Every row of the tool's command-line table that names one file: the tool
// and the inspector give the same verdict.
TEST(Inspect, AgreesWithTheToolOnItsTable) {
  const ScratchDir dir;
  write_command_line_files(dir);
  for (const Row& row : command_line_rows()) {
    std::size_t first = 0;
    while (first < row.args.size() && row.args[first].starts_with("-")) ++first;
    if (row.args.size() - first == 1) expect_agreement(row.args[first], row.why);
  }
}

// The fuzz seeds: every image as a file's content, every name as a path.
TEST(Inspect, AgreesWithTheToolOnTheFuzzSeeds) {
  const ScratchDir dir;
  for (const auto& seed : fs::directory_iterator(fs::path(TARNWICK_SOURCE_DIR) / "fuzz/corpus/image")) {
    std::ifstream in(seed.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    dir.write("in/12345A.ok", Bytes(bytes.begin(), bytes.end()));
    expect_agreement("in/12345A.ok", seed.path().filename().string());
  }
  for (const auto& seed : fs::directory_iterator(fs::path(TARNWICK_SOURCE_DIR) / "fuzz/corpus/names")) {
    std::ifstream in(seed.path(), std::ios::binary);
    std::string name((std::istreambuf_iterator<char>(in)), {});
    // An argument ends at its first NUL.
    name = name.substr(0, name.find('\0'));
    if (!name.empty() && name.front() != '-') expect_agreement(name, seed.path().filename().string());
  }
}

// One file of each kind: its JSON record and its text line, exactly.
struct ReasonRow {
  std::string path;
  std::string json;
  std::string text;
  const char* why;
  bool system_text = false;  // holds the system's own words, which differ on Windows
};

TEST(Inspect, SaysWhy) {
  const ScratchDir dir;
  const Bytes smallest = vardek_bytes();
  dir.write("in/12345A678.ok", smallest);
  dir.write("out/12345A678.cmd", vardek_bytes({.long_id = true}));
  dir.write("out/55555A.cmd", vardek_bytes({.head_at = 21}));
  dir.write("in/20002A.ok", vardek_bytes({.middle = READ_LIMIT - 33}) + Bytes(4096, 0x00));
  dir.write("in/00000A.ok", {});
  dir.write("in/32323A.ok", smallest.substr(0, 32));
  dir.write("in/11111A.ok", patched(smallest, 0, {'!'}));
  dir.write("in/22222A.ok", patched(smallest, 4, {0x0D}));
  dir.write("in/33333A.ok", patched(smallest, 18, {0x03}));
  dir.write("in/44444A.ok", patched(smallest, 30, {'e', 'o', 'f'}));
  dir.write("in/20001A.ok", vardek_bytes({.middle = READ_LIMIT - 32}));
  fs::create_directories(dir.path() / "in/77777A.ok");
  // Badly named files that are there; tmp/spoool is not.
  for (const char* bad : {"x/12345A.ok", "12345A.ok", "in/1234A5678.ok", "in/a2345A.ok", "in/12345A6789.ok",
                          "in/12345", "in/12345A678.cmd", "out/12345A"})
    dir.write(bad, smallest);

  // clang-format off
  const ReasonRow rows[] = {
    {"in/12345A678.ok",
     R"({"type":"file","path":"in/12345A678.ok","verdict":"valid","form":"short","head":18,"key":"202612081830","length":33})",
     "in/12345A678.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830",
     "valid, short form"},
    {"out/12345A678.cmd",
     R"({"type":"file","path":"out/12345A678.cmd","verdict":"valid","form":"long","head":21,"key":"202612081830","length":36})",
     "out/12345A678.cmd: valid: long form (15-byte identification), timestamp head at 21, key 202612081830",
     "valid, long form"},
    {"out/55555A.cmd",
     R"({"type":"file","path":"out/55555A.cmd","verdict":"valid","form":"short","head":21,"key":"202612081830","length":36})",
     "out/55555A.cmd: valid: short form (12-byte identification), timestamp head at 21, key 202612081830",
     "valid, short form with the head at 21"},
    {"in/20002A.ok",
     R"({"type":"file","path":"in/20002A.ok","verdict":"valid","form":"short","head":18,"key":"202612081830","length":200000,"size":204096})",
     "in/20002A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830; only the first 200000 of 204096 bytes were judged",
     "valid in its first 200000 bytes"},
    {"x/12345A.ok",
     R"({"type":"file","path":"x/12345A.ok","verdict":"bad-name","rule":"directory","directory":"x/"})",
     R"(x/12345A.ok: bad name: directory "x/" ends in neither "in" nor "out")",
     "directory"},
    {"12345A.ok",
     R"({"type":"file","path":"12345A.ok","verdict":"bad-name","rule":"directory","directory":""})",
     R"(12345A.ok: bad name: no directory: the file must be in one whose name ends in "in" or "out")",
     "no directory"},
    {"in/1234A5678.ok",
     R"({"type":"file","path":"in/1234A5678.ok","verdict":"bad-name","rule":"stem","stem":"1234","stem_length":4,"stop_offset":7,"stop_byte":"41"})",
     R"(in/1234A5678.ok: bad name: serial stem "1234" has 4 characters, not 6 or 9: stopped by 0x41 'A' at position 4 of the name (byte 7 of the path))",
     "stem stopped by a letter before position 5"},
    {"in/a2345A.ok",
     R"({"type":"file","path":"in/a2345A.ok","verdict":"bad-name","rule":"stem","stem":"","stem_length":0,"stop_offset":3,"stop_byte":"61"})",
     R"(in/a2345A.ok: bad name: serial stem "" has 0 characters, not 6 or 9: stopped by 0x61 'a' at position 0 of the name (byte 3 of the path))",
     "stem stopped by its first character"},
    {"in/12345A6789.ok",
     R"({"type":"file","path":"in/12345A6789.ok","verdict":"bad-name","rule":"stem","stem":"12345A6789","stem_length":10,"stop_offset":null,"stop_byte":null})",
     R"(in/12345A6789.ok: bad name: serial stem "12345A6789" has 10 characters, not 6 or 9: the walk stops after 10)",
     "stem of 10"},
    {"in/12345",
     R"({"type":"file","path":"in/12345","verdict":"bad-name","rule":"stem","stem":"12345","stem_length":5,"stop_offset":null,"stop_byte":null})",
     R"(in/12345: bad name: serial stem "12345" has 5 characters, not 6 or 9: the name ends there)",
     "stem cut short by the end of the name"},
    {"in/12345A678.cmd",
     R"({"type":"file","path":"in/12345A678.cmd","verdict":"bad-name","rule":"extension","extension":".cmd","allowed":[".ok",".fail"]})",
     R"(in/12345A678.cmd: bad name: ".cmd" follows the stem; a response file (in/) takes ".ok" or ".fail")",
     "extension of the other kind"},
    {"out/12345A",
     R"({"type":"file","path":"out/12345A","verdict":"bad-name","rule":"extension","extension":"","allowed":[".cmd"]})",
     R"(out/12345A: bad name: nothing follows the stem; a command file (out/) takes ".cmd")",
     "no extension"},
    {"tmp/spoool",
     R"({"type":"file","path":"tmp/spoool","verdict":"cannot-open","error":"No such file or directory","errno":"ENOENT","exists":false})",
     R"(tmp/spoool: cannot open: No such file or directory)",
     "a mistyped operand names nothing: no file to judge, whatever its name", true},
    {"in/88888A.ok",
     R"({"type":"file","path":"in/88888A.ok","verdict":"cannot-open","error":"No such file or directory","errno":"ENOENT","exists":false})",
     "in/88888A.ok: cannot open: No such file or directory",
     "missing", true},
    {"in/77777A.ok",
     R"({"type":"file","path":"in/77777A.ok","verdict":"cannot-open","error":"Is a directory","errno":"EISDIR"})",
     "in/77777A.ok: cannot open: Is a directory",
     "a directory named like a file is judged as a file"},
    {"in/00000A.ok",
     R"({"type":"file","path":"in/00000A.ok","verdict":"not-valid","test":"length","offset":0,"found":"","expected":33,"length":0})",
     "in/00000A.ok: not valid: length: 0 bytes read, at least 33 needed",
     "empty"},
    {"in/32323A.ok",
     R"({"type":"file","path":"in/32323A.ok","verdict":"not-valid","test":"length","offset":32,"found":"23aaaa010c0056415244454baaaaaaaaaaaa020600202612081830040300454f","expected":33,"length":32})",
     "in/32323A.ok: not valid: length: 32 bytes read, at least 33 needed",
     "32 bytes: every byte read is given"},
    {"in/11111A.ok",
     R"({"type":"file","path":"in/11111A.ok","verdict":"not-valid","test":"marker","offset":0,"found":"21","expected":"23","length":33})",
     "in/11111A.ok: not valid: marker at offset 0 (0x0): found 21; expected 23",
     "marker"},
    {"in/22222A.ok",
     R"({"type":"file","path":"in/22222A.ok","verdict":"not-valid","test":"identification","offset":3,"found":"010d0056415244454b","expected":["010c0056415244454b","010f0056415244454b"],"length":33})",
     "in/22222A.ok: not valid: identification at offset 3 (0x3): found 01 0d 00 56 41 52 44 45 4b; expected 01 0c 00 56 41 52 44 45 4b or 01 0f 00 56 41 52 44 45 4b",
     "identification"},
    {"in/33333A.ok",
     R"({"type":"file","path":"in/33333A.ok","verdict":"not-valid","test":"timestamp-head","offset":18,"found":"030600","expected":["020600"],"other_offset":21,"other_found":"202612","length":33})",
     "in/33333A.ok: not valid: timestamp head at offset 18 (0x12): found 03 06 00, and at 21 (0x15): found 20 26 12; expected 02 06 00",
     "timestamp head at neither place"},
    {"in/44444A.ok",
     R"({"type":"file","path":"in/44444A.ok","verdict":"not-valid","test":"end-record","offset":27,"found":"040300656f66","expected":"040300454f46","length":33})",
     "in/44444A.ok: not valid: end record at offset 27 (0x1b): found 04 03 00 65 6f 66; expected 04 03 00 45 4f 46",
     "end record"},
    {"in/20001A.ok",
     R"({"type":"file","path":"in/20001A.ok","verdict":"not-valid","test":"end-record","offset":199994,"found":"55040300454f","expected":"040300454f46","length":200000,"size":200001})",
     "in/20001A.ok: not valid: end record at offset 199994 (0x30d3a): found 55 04 03 00 45 4f; expected 04 03 00 45 4f 46; only the first 200000 of 200001 bytes were judged",
     "end record past the bytes read"},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    if (row.system_text && tool_is_windows_program()) continue;
    const Outcome json = run_inspector({"--json", row.path});
    EXPECT_EQ(first_line(json.out), row.json + "\n");
    const Outcome text = run_inspector({row.path});
    EXPECT_EQ(first_line(text.out), row.text + "\n");
    EXPECT_EQ(json.status, text.status);
    EXPECT_EQ(json.err + text.err, "");
  }
}

// A file that holds more than its size says, as files of /proc do, is read
// as the tool reads it: to its end, not to its stated size.
TEST(Inspect, ReadsPastAStatedSize) {
  if (tool_is_windows_program() || tool_is_emulated() || !fs::exists("/proc/self/smaps"))
    GTEST_SKIP() << "needs Linux's /proc, natively";
  const ScratchDir dir;
  fs::create_directories("in");
  fs::create_symlink("/proc/self/smaps", "in/12345A.ok");
  const auto record = nlohmann::json::parse(first_line(run_inspector({"--json", "in/12345A.ok"}).out));
  EXPECT_EQ(record.at("verdict"), "not-valid");
  EXPECT_GT(record.at("length").get<std::size_t>(), 4096u) << record;
}

// A tree with one of everything a walk meets.
void write_tree(const ScratchDir& dir) {
  const Bytes valid = vardek_bytes();
  dir.write("tree/a/in/12345A.ok", valid);
  dir.write("tree/a/in/12345B.ok", patched(valid, 0, {'!'}));
  dir.write("tree/a/notes.txt", {});
  fs::create_directories(dir.path() / "tree/a/in/sub");
  dir.write("tree/b/out/12345A.cmd", vardek_bytes({.long_id = true}));
  dir.write("tree/z\xFF/in/12345A.ok", valid);
  fs::create_directory_symlink("a", dir.path() / "tree/link-to-a");
  fs::create_symlink("loop", dir.path() / "tree/loop");
  ASSERT_EQ(mkfifo((dir.path() / "tree/fifo").c_str(), 0600), 0);
}

const std::string TREE_REPORT =
    "tree/a/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n"
    "tree/a/in/12345B.ok: not valid: marker at offset 0 (0x0): found 21; expected 23\n"
    "tree/a/notes.txt: bad name: directory \"a/\" ends in neither \"in\" nor \"out\"\n"
    "tree/b/out/12345A.cmd: valid: long form (15-byte identification), timestamp head at 21, key 202612081830\n"
    "tree/fifo: skipped: fifo\n"
    "tree/link-to-a: skipped: symlink\n"
    "tree/loop: skipped: symlink\n"
    "tree/z\xFF/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n" +
    summary_line({.valid = 3, .not_valid = 1, .bad_names = 1, .skipped = 3});

TEST(Inspect, Walks) {
  if (tool_is_windows_program()) GTEST_SKIP() << "links, FIFOs and raw bytes are Unix matters";
  const ScratchDir dir;
  write_tree(dir);
  // A writer that would get through only if the FIFO were opened.
  const std::vector<std::string> fifo_writer = {
      "sh", "-c",
      "timeout 5 sh -c 'exec 3>tree/fifo; touch fifo-was-opened' & sleep 0.3; exec \"$@\"", "sh"};
  const std::string failures =
      "tree/a/in/12345B.ok: not valid: marker at offset 0 (0x0): found 21; expected 23\n"
      "tree/a/notes.txt: bad name: directory \"a/\" ends in neither \"in\" nor \"out\"\n";
  const std::string summary = TREE_REPORT.substr(TREE_REPORT.rfind("5 files"));
  // clang-format off
  const Row rows[] = {
    {{"tree"},                    TREE_REPORT, 4, "the whole tree, sorted, links and the FIFO skipped", fifo_writer},
    {{"-j", "1", "tree"},         TREE_REPORT, 4, "one thread"},
    {{"--jobs=2", "tree"},        TREE_REPORT, 4, "two threads"},
    {{"tree/"},                   TREE_REPORT, 4, "a trailing separator is not doubled"},
    {{"-q", "tree"},              failures + summary, 4, "only the failures"},
    {{"--summary", "tree"},       summary, 4, "only the summary"},
    {{"tree/link-to-a"},          "tree/link-to-a/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n"
                                  "tree/link-to-a/in/12345B.ok: not valid: marker at offset 0 (0x0): found 21; expected 23\n"
                                  "tree/link-to-a/notes.txt: bad name: directory \"link-to-a/\" ends in neither \"in\" nor \"out\"\n" +
                                  summary_line({.valid = 1, .not_valid = 1, .bad_names = 1}),
                                  4, "a link the user names is followed"},
    {{"tree/b", "tree/a/in/12345A.ok"},
                                  "tree/b/out/12345A.cmd: valid: long form (15-byte identification), timestamp head at 21, key 202612081830\n"
                                  "tree/a/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n" +
                                  summary_line({.valid = 2}),
                                  0, "operands in the order given"},
    {{"tree/a/in/sub"},           summary_line({}),
                                  0, "an empty directory"},
  };
  // clang-format on
  expect_inspector_rows(rows);
  EXPECT_FALSE(fs::exists("fifo-was-opened"));
}

TEST(Inspect, JsonKeepsEveryPath) {
  if (tool_is_windows_program()) GTEST_SKIP() << "raw bytes in names are a Unix matter";
  const ScratchDir dir;
  write_tree(dir);
  const Outcome outcome = run_inspector({"--json", "tree"});
  std::istringstream lines(outcome.out);
  std::vector<std::string> paths;
  for (std::string line; std::getline(lines, line);) {
    const auto record = nlohmann::json::parse(line);
    if (record.at("type") == "summary") {
      EXPECT_EQ(line, R"({"type":"summary","schema":1,"files":5,"valid":3,"not-valid":1,"bad-name":1,"cannot-open":0,"skipped":3,"vanished":0,"excluded":0,"missing":0)" RUN_FIELDS "4}");
      continue;
    }
    std::string path = record.at("path");
    if (record.contains("path_hex")) {
      EXPECT_EQ(path, "tree/z\xEF\xBF\xBD/in/12345A.ok");
      const std::string hex = record.at("path_hex");
      path.clear();
      for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        path += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    paths.push_back(path);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "tree/a/in/12345A.ok", "tree/a/in/12345B.ok", "tree/a/notes.txt",
                       "tree/b/out/12345A.cmd", "tree/fifo", "tree/link-to-a", "tree/loop",
                       "tree/z\xFF/in/12345A.ok"}));
}

// Many files over a few folders, each a different verdict: every number of
// threads gives the same report, and so does every run.
TEST(Inspect, SameReportWhateverTheThreads) {
  const ScratchDir dir;
  const Bytes valid = vardek_bytes();
  for (int i = 0; i < 600; ++i) {
    const std::string name = std::to_string(10000 + i);
    const std::string folder = "spool/" + std::to_string(i % 7) + "/" + (i % 2 ? "in/" : "out/");
    Bytes bytes = i % 5 == 0 ? valid.substr(0, 20) : valid;
    if (i % 11 == 0) bytes += Bytes(5000 + static_cast<std::size_t>(i), 0x00);
    dir.write(folder + name + (i % 2 ? "A.ok" : "A.cmd"), bytes);
  }
  const Outcome one = run_inspector({"-j", "1", "spool"});
  EXPECT_EQ(one.status, 4);
  EXPECT_NE(one.out.find("600 files judged"), std::string::npos);
  const Outcome probe = run_inspector({"--io", "uring", "--summary", "spool"});
  const bool ring = probe.err.find("io_uring is not available") == std::string::npos;
  const bool native = !tool_is_windows_program() && !tool_is_emulated();
  const std::vector<std::string> few_descriptors = {"prlimit", "--nofile=64:64"};
  // A seccomp filter, as a container's profile may be, that refuses
  // io_uring_setup with EPERM, installed before the inspector starts.
  const std::vector<std::string> no_ring = {
      "python3", "-c",
      "import ctypes, os, struct, sys\n"
      "libc = ctypes.CDLL(None, use_errno=True)\n"
      "code = struct.pack('=HBBI', 0x20, 0, 0, 0)\n"                 // load the call's number
      "code += struct.pack('=HBBI', 0x15, 0, 1, 425)\n"              // io_uring_setup?
      "code += struct.pack('=HBBI', 0x06, 0, 0, 0x00050000 | 1)\n"   // EPERM
      "code += struct.pack('=HBBI', 0x06, 0, 0, 0x7fff0000)\n"       // any other: allowed
      "program = ctypes.create_string_buffer(code)\n"
      "class Filter(ctypes.Structure): _fields_ = [('len', ctypes.c_ushort), ('code', ctypes.c_void_p)]\n"
      "filter = Filter(4, ctypes.cast(program, ctypes.c_void_p))\n"
      "if libc.prctl(38, 1, 0, 0, 0) or libc.prctl(22, 2, ctypes.byref(filter), 0, 0): sys.exit(99)\n"
      "os.execvp(sys.argv[1], sys.argv[1:])"};
  struct Way {
    std::vector<std::string> args;
    std::vector<std::string> launcher;
    bool needs_ring;
    const char* why;
  };
  // clang-format off
  const Way ways[] = {
    {{"-j", "2"},                       {},              false, "two threads"},
    {{"-j", "3"},                       {},              false, "three threads"},
    {{"-j", "8"},                       {},              false, "eight threads"},
    {{"-j", "2"},                       {},              false, "two threads again"},
    {{},                                {},              false, "the default"},
    {{"--io", "threads"},               {},              false, "the threads, forced"},
    {{"--io", "uring"},                 {},              true,  "the ring"},
    {{"--io", "uring", "-j", "1"},      {},              true,  "the ring, on one thread"},
    {{"--io", "uring"},                 few_descriptors, true,  "the ring, 64 descriptors: no file unopened"},
    {{},                                no_ring,         false, "io_uring refused: the threads"},
  };
  // clang-format on
  for (const Way& way : ways) {
    SCOPED_TRACE(way.why);
    if ((way.needs_ring && !ring) || (!way.launcher.empty() && !native)) continue;
    std::vector<std::string> args = way.args;
    args.push_back("spool");
    EXPECT_EQ(run_inspector(args, way.launcher), one);
  }
  if (native) {
    // Refused, the ring is not used, and the run says so where asked.
    const Outcome stats = run_inspector({"--stats", "--summary", "spool"}, no_ring);
    EXPECT_TRUE(stats.out.ends_with("read by: threads (io_uring: Operation not permitted)\n")) << stats.out;
    EXPECT_EQ(run_inspector({"--io", "uring", "spool"}, no_ring),
              (Outcome{"", "tarnwick-inspect: --io uring: io_uring is not available here: Operation not permitted\n", 3}));
  }
}

// What a file tree holds, down to the status change times.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat info {};
    ASSERT_EQ(lstat(entry.path().c_str(), &info), 0), files;
    std::ostringstream facts;
    facts << info.st_mode << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec << '.'
          << info.st_mtim.tv_nsec << ' ' << info.st_ctim.tv_sec << '.' << info.st_ctim.tv_nsec;
    if (S_ISREG(info.st_mode)) {
      std::ifstream in(entry.path(), std::ios::binary);
      facts << ' ' << std::string((std::istreambuf_iterator<char>(in)), {});
    }
    files[entry.path().string()] = facts.str();
  }
  return files;
}

TEST(Inspect, ChangesNothing) {
  if (tool_is_windows_program()) GTEST_SKIP() << "the snapshot reads Unix times";
  const ScratchDir dir;
  write_tree(dir);
  const auto before = snapshot("tree");
  run_inspector({"tree"});
  run_inspector({"--json", "-j", "2", "tree", "tree/a/in/12345A.ok"});
  EXPECT_EQ(snapshot("tree"), before);
}

// As root every directory can be listed; as nobody one cannot.
TEST(Inspect, UnlistableDirectory) {
  if (tool_is_windows_program()) GTEST_SKIP() << "not for a Windows program";
  const ScratchDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  dir.write("tree/a/in/12345A.ok", vardek_bytes());
  dir.write("tree/b/in/12345A.ok", vardek_bytes());
  dir.write("tree/c/in/12345A.ok", vardek_bytes());
  fs::permissions("tree/b", fs::perms::none);
  fs::permissions("tree/c/in/12345A.ok", fs::perms::none);
  std::vector<std::string> as_nobody;
  if (geteuid() == 0) {
    as_nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    if (run_inspector({"--summary", "tree/a"}, as_nobody).status != 0)
      GTEST_SKIP() << "running as root and cannot run the inspector as nobody";
  }
  // clang-format off
  const Row rows[] = {
    {{"tree"},
     "tree/a/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n"
     "tree/b: cannot list: Permission denied\n"
     "tree/c/in/12345A.ok: cannot open: Permission denied\n" +
     summary_line({.valid = 1, .not_opened = 2}),
     3, "an unlistable directory and an unreadable file: the rest is still reported", as_nobody},
    {{"--json", "tree/b"},
     "{\"type\":\"file\",\"path\":\"tree/b\",\"verdict\":\"cannot-open\",\"error\":\"Permission denied\",\"errno\":\"EACCES\",\"kind\":\"directory\"}\n"
     "{\"type\":\"summary\",\"schema\":1,\"files\":1,\"valid\":0,\"not-valid\":0,\"bad-name\":0,\"cannot-open\":1,\"skipped\":0,\"vanished\":0,\"excluded\":0,\"missing\":0" RUN_FIELDS "3}\n",
     3, "the directory's record", as_nobody},
  };
  // clang-format on
  expect_inspector_rows(rows);
}

TEST(Inspect, FilesFrom) {
  const ScratchDir dir;
  dir.write("in/12345A.ok", vardek_bytes());
  dir.write("in/54321A.ok", {});
  dir.write("lines", {'i', 'n', '/', '1', '2', '3', '4', '5', 'A', '.', 'o', 'k', '\n', '\n',
                      'i', 'n', '/', '5', '4', '3', '2', '1', 'A', '.', 'o', 'k', '\n'});
  Bytes nul = {'i', 'n', '/', '1', '2', '3', '4', '5', 'A', '.', 'o', 'k', '\0'};
  nul += Bytes{'i', 'n', '/', 'a', ' ', 'b', '\n', 'c', '\0'};
  dir.write("names0", nul);
  dir.write("in/a b\nc", vardek_bytes());
  const std::string valid =
      "in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n";
  const std::string empty = "in/54321A.ok: not valid: length: 0 bytes read, at least 33 needed\n";
  const std::vector<std::string> from_stdin = {"sh", "-c", "exec \"$@\" <lines", "sh"};
  // clang-format off
  const Row rows[] = {
    {{"--files-from", "lines"},        valid + empty + summary_line({.valid = 1, .not_valid = 1}), 4, "one a line, blank lines skipped"},
    {{"--files-from", "-"},            valid + empty + summary_line({.valid = 1, .not_valid = 1}), 4, "standard input", from_stdin},
    // Windows has no newline in a name: that path names nothing there.
    tool_is_windows_program()
        ? Row{{"--files-from", "names0", "-0"}, valid + "in/a b\\x0ac: cannot open: No such file or directory\n" +
              summary_line({.valid = 1, .missing = 1}), 3, "NUL-separated, a newline inside a name"}
        : Row{{"--files-from", "names0", "-0"}, valid + "in/a b\\x0ac: bad name: serial stem \"\" has 0 characters, not 6 or 9: stopped by 0x61 'a' at position 0 of the name (byte 3 of the path)\n" +
              summary_line({.valid = 1, .bad_names = 1}), 4, "NUL-separated, a newline inside a name"},
    {{"in/12345A.ok", "--files-from", "lines", "-q"}, empty + summary_line({.valid = 2, .not_valid = 1}), 4, "paths first, then the list"},
  };
  // clang-format on
  expect_inspector_rows(rows);
}

// A call whose whole outcome is checked: standard error included.
struct Call {
  std::vector<std::string> args;
  Outcome expected;
  const char* why;
};

void expect_calls(std::span<const Call> calls) {
  for (const Call& call : calls) {
    SCOPED_TRACE(call.why);
    EXPECT_EQ(run_inspector(call.args), call.expected);
  }
}

TEST(Inspect, ListWithNulBytes) {
  const ScratchDir dir;
  dir.write("in/12345A.ok", vardek_bytes());
  dir.write("in/54321A.ok", vardek_bytes());
  dir.write("found", {'i', 'n', '/', '1', '2', '3', '4', '5', 'A', '.', 'o', 'k', '\0',
                      'i', 'n', '/', '5', '4', '3', '2', '1', 'A', '.', 'o', 'k', '\0'});
  const std::string valid_tail =
      ": valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n";
  // clang-format off
  const Call calls[] = {
    {{"--files-from", "found"}, {"", "tarnwick-inspect: the list holds a NUL byte, which no path can: for a list of "
                                     "paths that end in NUL bytes, give -0\n", 3}, "find -print0 without -0: refused"},
    {{"--files-from", "found", "-0"}, {"in/12345A.ok" + valid_tail + "in/54321A.ok" + valid_tail +
                                      summary_line({.valid = 2}), "", 0},
     "the same list with -0"},
  };
  // clang-format on
  expect_calls(calls);
}

// An empty folder, as an unmounted spool looks, is no all clear when
// --min-files says how many files there must be.
TEST(Inspect, MinFiles) {
  const ScratchDir dir;
  fs::create_directories(dir.path() / "empty");
  for (const char* name : {"10001A", "10002A", "10003A", "10004A", "10005A"})
    dir.write(std::string("spool/in/") + name + ".ok", vardek_bytes());
  const std::string none = summary_line({});
  const std::string five = summary_line({.valid = 5});
  // clang-format off
  const Call calls[] = {
    {{"--summary", "empty"},                     {none, "", 0}, "without the option, nothing changes"},
    {{"--summary", "--min-files", "1", "empty"}, {none, "tarnwick-inspect: 0 files judged, fewer than --min-files 1\n", 3}, "an empty folder"},
    {{"--summary", "--min-files", "6", "spool"}, {five, "tarnwick-inspect: 5 files judged, fewer than --min-files 6\n", 3}, "one short"},
    {{"--summary", "--min-files", "5", "spool"}, {five, "", 0}, "just enough"},
    {{"--summary", "--min-files", "0", "empty"}, {none, "", 0}, "0 asks for nothing"},
    {{"--summary", "--min-files", "1", "missing"},
     {summary_line({.missing = 1}), "tarnwick-inspect: 0 files judged, fewer than --min-files 1\n", 3},
     "a spool that is not there is no file judged"},
    {{"--summary", "missing"}, {summary_line({.missing = 1}), "", 3}, "and fails the run without --min-files"},
  };
  // clang-format on
  expect_calls(calls);
}

// The stable code of every failure to open, whatever the system's words.
TEST(Inspect, ErrnoCodes) {
  const ScratchDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  fs::create_directories(dir.path() / "in/77777A.ok");
  dir.write("in/66666A.ok", vardek_bytes());
  dir.write("file/in", {});
  dir.write("locked/x", vardek_bytes());
  std::vector<std::string> as_nobody;
  bool unreadable = !tool_is_windows_program();
  if (unreadable) {
    fs::permissions("in/66666A.ok", fs::perms::none);
    fs::permissions("locked", fs::perms::none);
    if (geteuid() == 0) {
      as_nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
      unreadable = run_inspector({"--summary", "in/77777A.ok"}, as_nobody).status == 3;
    }
  }
  struct Case {
    std::string path;
    std::string errno_name;
    bool unix_only;
    const char* why;
    bool missing = false;  // names nothing the run could reach: no file judged
  };
  // clang-format off
  const Case cases[] = {
    {"in/88888A.ok",      "ENOENT",  false, "a missing file", true},
    {"spool",             "ENOENT",  false, "a missing spool, badly named: not a bad name", true},
    {"in/77777A.ok",      "EISDIR",  false, "a directory named like a file"},
    {"in/66666A.ok",      "EACCES",  true,  "a file without read permission"},
    {"locked/x",          "EACCES",  true,  "under a folder that cannot be entered: said so, not a bad name", true},
    {"file/in/12345A.ok", "ENOTDIR", true,  "a path through a plain file", true},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.unix_only && tool_is_windows_program()) continue;
    if (c.errno_name == "EACCES" && !unreadable) continue;
    const Outcome outcome = run_inspector({"--json", c.path}, c.errno_name == "EACCES" ? as_nobody : std::vector<std::string>{});
    const auto record = nlohmann::json::parse(first_line(outcome.out), nullptr, false);
    ASSERT_TRUE(record.is_object()) << testing::PrintToString(outcome);
    EXPECT_EQ(record.value("verdict", ""), "cannot-open");
    EXPECT_EQ(record.value("errno", ""), c.errno_name) << record;
    EXPECT_EQ(record.value("exists", true), c.errno_name == "EACCES" || !c.missing) << record;
    EXPECT_NE(outcome.out.find(c.missing ? R"("files":0,)" : R"("files":1,)"), std::string::npos) << outcome.out;
    EXPECT_EQ(outcome.status, 3);
  }
}

struct BadCall {
  std::vector<std::string> args;
  std::string err;  // what standard error starts with
  const char* why;
};

TEST(Inspect, CommandLine) {
  const ScratchDir dir;
  const std::string prefix = "tarnwick-inspect: ";
  const std::string hint = "Try 'tarnwick-inspect --help' for more information.\n";
  // clang-format off
  const BadCall calls[] = {
    {{},                                 prefix + "no path given, and no --files-from\n", "nothing to judge"},
    {{"--bogus", "in"},                  prefix, "unknown option"},
    {{"-y", "in"},                       prefix, "unknown short option"},
    {{"-j", "0", "in"},                  prefix, "no threads"},
    {{"-j", "two", "in"},                prefix, "jobs not a number"},
    {{"in", "-j"},                       prefix, "jobs without a value"},
    {{"-0", "in"},                       prefix + "-0 applies to --files-from, which is not given\n", "-0 alone"},
    {{"--files-from", "no-such-list"},   prefix + "cannot read the list 'no-such-list': ", "a list that cannot be read"},
  };
  // clang-format on
  for (const auto& call : calls) {
    SCOPED_TRACE(call.why);
    const Outcome outcome = run_inspector(call.args);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.status, 3);
    EXPECT_TRUE(outcome.err.starts_with(call.err)) << outcome.err;
    EXPECT_TRUE(outcome.err.ends_with(hint)) << outcome.err;
  }
  if (!tool_is_windows_program() && fs::exists("/dev/full")) {
    // A report that cannot be written is not a success.
    const std::vector<std::string> to_full_disk = {"sh", "-c", "exec \"$@\" >/dev/full", "sh"};
    EXPECT_EQ(run_inspector({TARNWICK_SOURCE_DIR "/examples"}, to_full_disk),
              (Outcome{"", "tarnwick-inspect: cannot write the report: No space left on device\n", 3}));
    // A reader that has gone (| head) is a write that fails, not a signal:
    // the run ends with its own status, as the manual says.
    const std::vector<std::string> to_closed_pipe = {
        "python3", "-c",
        "import os, signal, sys\n"
        "signal.signal(signal.SIGPIPE, signal.SIG_DFL)\n"
        "r, w = os.pipe(); os.close(r); os.dup2(w, 1)\n"
        "os.execvp(sys.argv[1], sys.argv[1:])"};
    EXPECT_EQ(run_inspector({TARNWICK_SOURCE_DIR "/examples"}, to_closed_pipe),
              (Outcome{"", "tarnwick-inspect: cannot write the report: Broken pipe\n", 3}));
  }
  const Outcome help = run_inspector({"--help"});
  EXPECT_TRUE(help.out.starts_with("Usage: tarnwick-inspect [OPTION]... PATH...\n"
                                   "       tarnwick-inspect [OPTION]... --files-from FILE [-0]\n"))
      << help.out;
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(run_inspector({"--version"}), (Outcome{"tarnwick-inspect " TARNWICK_VERSION "\n", "", 0}));
  // A small stack (ulimit -s 64) is no reason to crash; the sanitizers'
  // runtimes need more than that themselves.
  if (!sanitized() && !tool_is_windows_program()) {
    const std::vector<std::string> small_stack = {"sh", "-c", "ulimit -s 64 && exec \"$@\"", "sh"};
    EXPECT_EQ(run_inspector({"--version"}, small_stack),
              (Outcome{"tarnwick-inspect " TARNWICK_VERSION "\n", "", 0}));
    EXPECT_EQ(run_inspector({"--summary", TARNWICK_SOURCE_DIR "/examples"}, small_stack).status, 4);
  }
}

}  // namespace

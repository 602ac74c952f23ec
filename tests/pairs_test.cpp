// tarnwick-inspect --pairs: each command with its response, decided as the
// tool decides between them; the pairing rule; ages; and the same bytes
// whatever the threads.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>

#include "app/disk_spool.h"
#include "messages.h"
#include "pairs/pair_record.h"
#include "pairs/pair_stream.h"
#include "print/sink.h"
#include "run/run.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Sets a file's last change `seconds` before now (after, when negative).
void age(const std::string& path, long long seconds) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

// Makes every folder under `root` look long settled: a command with no
// response in a folder that changed in the last second is looked at again
// a second later, at the end of the run, which would move its line.
void settle(const std::string& root) {
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(root, old);
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_directory() && !entry.is_symlink()) fs::last_write_time(entry.path(), old);
}

// The pair records of a JSON run, one "state command response" each.
std::vector<std::string> pairs_of(const Outcome& outcome) {
  std::vector<std::string> pairs;
  for (const std::string& line : lines_of(outcome.out)) {
    const auto record = nlohmann::json::parse(line);
    if (record.at("type") != "pair") continue;
    const auto path = [&](const char* name) -> std::string {
      return record.at(name).is_null() ? "-" : record.at(name).get<std::string>();
    };
    pairs.push_back(record.at("state").get<std::string>() + " " + path("command") + " " +
                    path("response"));
  }
  return pairs;
}

constexpr TimestampKey OLD = {0x20, 0x26, 0x01, 0x01, 0x00, 0x00};
constexpr TimestampKey NEW = {0x20, 0x26, 0x01, 0x02, 0x00, 0x00};

// One spool with a command in each state and an orphan: its exact JSON
// record and text line.
struct StateRow {
  std::string json;
  std::string text;
};

TEST(Pairs, OneRecordOfEachState) {
  const ScratchDir dir;
  const Bytes old_file = vardek_bytes({.stamp = OLD});
  const Bytes new_file = vardek_bytes({.stamp = NEW});
  dir.write("s/out/10001A.cmd", old_file);  // answered (fail)
  dir.write("s/in/10001A.fail", new_file);
  dir.write("s/out/10002A.cmd", new_file);  // stale
  dir.write("s/in/10002A.ok", old_file);
  dir.write("s/out/10003A.cmd", old_file);  // same
  dir.write("s/in/10003A.ok", old_file);
  dir.write("s/out/10004A.cmd", old_file);  // pending
  dir.write("s/out/10005A.cmd", old_file);  // conflict
  dir.write("s/in/10005A.ok", new_file);
  dir.write("s/in/10005A.fail", new_file);
  dir.write("s/out/10006A.cmd", old_file);  // bad response
  dir.write("s/in/10006A.ok", old_file.substr(1));
  dir.write("s/out/10007A.cmd", {});        // bad command
  dir.write("s/in/10007A.ok", new_file);
  dir.write("s/in/10008A.ok", new_file);    // orphan
  fs::create_directories("s/out/10009A.cmd");  // bad command: cannot be opened
  dir.write("s/in/10009A.ok", old_file.substr(2));
  age("s/out/10004A.cmd", 2 * 3600 + 14 * 60 + 20);
  settle("s");
  // clang-format off
  const StateRow rows[] = {
    {R"({"type":"pair","command":"s/out/10001A.cmd","response":"s/in/10001A.fail","state":"answered","outcome":"fail","command_key":"202601010000","response_key":"202601020000","age_s":null})",
     "s/out/10001A.cmd: answered (fail) by s/in/10001A.fail"},
    {R"({"type":"pair","command":"s/out/10002A.cmd","response":"s/in/10002A.ok","state":"stale","outcome":null,"command_key":"202601020000","response_key":"202601010000","age_s":null})",
     "s/out/10002A.cmd: stale: s/in/10002A.ok is older, from an earlier command"},
    {R"({"type":"pair","command":"s/out/10003A.cmd","response":"s/in/10003A.ok","state":"same","outcome":null,"command_key":"202601010000","response_key":"202601010000","age_s":null})",
     "s/out/10003A.cmd: same key as s/in/10003A.ok"},
    {R"({"type":"pair","command":"s/out/10004A.cmd","response":null,"state":"pending","outcome":null,"command_key":"202601010000","response_key":null,"age_s":AGE})",
     "s/out/10004A.cmd: pending for 2h 14m"},
    {R"({"type":"pair","command":"s/out/10005A.cmd","response":"s/in/10005A.ok","state":"conflict","outcome":null,"command_key":"202601010000","response_key":"202601020000","age_s":null})",
     "s/out/10005A.cmd: conflict: both s/in/10005A.ok and s/in/10005A.fail"},
    {R"({"type":"pair","command":"s/out/10006A.cmd","response":"s/in/10006A.ok","state":"bad-response","outcome":null,"command_key":"202601010000","response_key":null,"age_s":null})",
     "s/out/10006A.cmd: bad response: s/in/10006A.ok"},
    {R"({"type":"pair","command":"s/out/10007A.cmd","response":"s/in/10007A.ok","state":"bad-command","outcome":null,"command_key":null,"response_key":"202601020000","age_s":null})",
     "s/out/10007A.cmd: bad command, with response s/in/10007A.ok"},
    {R"({"type":"pair","command":null,"response":"s/in/10008A.ok","state":"orphan","outcome":null,"command_key":null,"response_key":"202601020000","age_s":null})",
     "s/in/10008A.ok: orphan: no command"},
    // The tool opens both files before it reads either: a command that
    // cannot be opened comes before a response that is not valid.
    {R"({"type":"pair","command":"s/out/10009A.cmd","response":"s/in/10009A.ok","state":"bad-command","outcome":null,"command_key":null,"response_key":null,"age_s":null})",
     "s/out/10009A.cmd: bad command, with response s/in/10009A.ok"},
  };
  // clang-format on
  // A folder named like a file is reported as a file that cannot be
  // opened, and pairs with its response.
  const Outcome json = run_inspector({"--json", "--pairs", "s"});
  const Outcome text = run_inspector({"--pairs", "s"});
  std::vector<std::string> json_pairs, text_pairs;
  for (std::string line : lines_of(json.out)) {
    if (!line.starts_with(R"({"type":"pair")")) continue;
    std::smatch age_s;
    if (std::regex_search(line, age_s, std::regex(R"("age_s":(\d+))"))) {
      EXPECT_NEAR(std::stod(age_s[1]), 8060, 10) << line;
      line = std::regex_replace(line, std::regex(R"("age_s":\d+)"), R"("age_s":AGE)");
    }
    json_pairs.push_back(line);
  }
  for (const std::string& line : lines_of(text.out))
    if (line.find(": valid: ") == std::string::npos && line.find(": not valid: ") == std::string::npos &&
        line.find(": cannot open: ") == std::string::npos && line.starts_with("s/"))
      text_pairs.push_back(line);
  std::vector<std::string> want_json, want_text;
  for (const StateRow& row : rows) {
    want_json.push_back(row.json);
    want_text.push_back(row.text);
  }
  EXPECT_EQ(json_pairs, want_json);
  EXPECT_EQ(text_pairs, want_text);
  // Pairs never change the exit status: the files' verdicts alone do.
  EXPECT_EQ(json.status, run_inspector({"--json", "s"}).status);
  {
    EXPECT_NE(json.out.find(R"({"type":"pairs","commands":8,"answered":1,"stale":1,"same":1,"pending":1,"conflict":1,"bad-response":1,"bad-command":2,"young":0,"unknown":0,"orphan":1,"answered-ok":0,"answered-fail":1,"pending_by_age":{"under_1m":0,"under_10m":0,"under_1h":0,"under_1d":1,"older":0}})"
                            "\n{\"type\":\"summary\",\"schema\":1,"),
              std::string::npos)
        << json.out;
    EXPECT_TRUE(text.out.ends_with(
        "8 commands: 1 answered (0 ok, 1 fail), 1 stale, 1 same, 1 pending, 1 in conflict, 1 bad response, 2 bad commands, 0 young, 0 unknown; 1 orphan response\n"
        "pending by age: 0 under 1m, 0 under 10m, 0 under 1h, 1 under 1d, 0 older\n" +
        summary_line({.valid = 13, .not_valid = 3, .not_opened = 1})))
        << text.out;
  }
}

// The state of every pair of a generated spool against the tool's answer
// to `tarnwick RESPONSE COMMAND`.
std::string state_of_tool(const Outcome& tool, const std::string& response,
                          const std::string& command) {
  switch (tool.status) {
    case 1: return "answered";
    case 2: return "stale";
    case 0: return "same";
    default: break;
  }
  if (tool.out.find("'" + response + "'") != std::string::npos)
    return tool.out.find("Cannot open") != std::string::npos && !fs::exists(response) ? "pending"
                                                                                        : "bad-response";
  if (tool.out.find("'" + command + "'") != std::string::npos) return "bad-command";
  return "unexpected: " + tool.out;
}

TEST(Pairs, AgreeWithTheTool) {
  const ScratchDir dir;
  // Keys that differ in one byte each, unsigned bytes (0x7f against 0x80),
  // and both forms with the timestamp head at 18 and at 21.
  const TimestampKey keys[] = {
      {0x20, 0x26, 0x01, 0x7F, 0x00, 0x00}, {0x20, 0x26, 0x01, 0x80, 0x00, 0x00},
      {0x20, 0x26, 0x01, 0x7F, 0x00, 0x01}, {0x21, 0x26, 0x01, 0x7F, 0x00, 0x00},
      {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}};
  const Layout layouts[] = {{}, {.long_id = true}, {.head_at = 21}, {.long_id = true, .head_at = 18}};
  std::size_t n = 0;
  const auto file = [&](std::size_t i) {
    Layout layout = layouts[i % std::size(layouts)];
    layout.stamp = keys[i / std::size(layouts) % std::size(keys)];
    return vardek_bytes(layout);
  };
  const std::size_t kinds = std::size(keys) * std::size(layouts);
  for (std::size_t c = 0; c < kinds; ++c) {
    for (std::size_t r = 0; r < kinds; r += 3, ++n) {
      const std::string stem = std::to_string(100000 + n);
      const std::string folder = "spool/" + std::to_string(n % 4) + "/";
      dir.write(folder + "out/" + stem + ".cmd", n % 17 == 5 ? file(c).substr(3) : file(c));
      if (n % 13 == 4) continue;  // pending
      dir.write(folder + "in/" + stem + (n % 2 ? ".ok" : ".fail"), n % 19 == 7 ? Bytes{} : file(r));
    }
  }
  std::map<std::string, int> seen;
  for (const std::string& pair : pairs_of(run_inspector({"--json", "--pairs", "-j", "3", "spool"}))) {
    std::istringstream words(pair);
    std::string state, command, response;
    words >> state >> command >> response;
    ++seen[state];
    if (response == "-") response = command.substr(0, command.find("out/")) + "in/" +
                                     command.substr(command.find("out/") + 4, 6) + ".ok";
    SCOPED_TRACE(pair);
    EXPECT_EQ(state, state_of_tool(run_tool({response, command}), response, command));
  }
  for (const char* state : {"answered", "stale", "same", "pending", "bad-response", "bad-command"})
    EXPECT_GT(seen[state], 0) << state;
}

// The pairing rule, each row a small tree: which files pair, and how.
struct RuleRow {
  std::vector<std::string> files;  // each a valid file, the responses newer
  std::vector<std::string> operands;
  std::vector<std::string> pairs;  // "state command response", "-" for none
  const char* why;
  bool unix_names = false;  // a name that holds a backslash
};

TEST(Pairs, TheRule) {
  // clang-format off
  const RuleRow rows[] = {
    {{"d/checkout/12345A.cmd", "d/checkin/12345A.ok"}, {"d"},
     {"answered d/checkout/12345A.cmd d/checkin/12345A.ok"}, "checkout/ pairs with checkin/"},
    {{"d/out/12345A.cmd", "d/in/12345a.ok"}, {"d"},
     {"pending d/out/12345A.cmd -", "orphan - d/in/12345a.ok"}, "stems differ in case: no pair"},
    {{"d/out/12345A.cmd"}, {"d"}, {"pending d/out/12345A.cmd -"}, "out with no in beside it"},
    {{"d/in/12345A.ok"}, {"d"}, {"orphan - d/in/12345A.ok"}, "in with no out beside it"},
    {{"a/in/12345A.ok", "b/out/12345A.cmd"}, {"a", "b"},
     {"orphan - a/in/12345A.ok", "pending b/out/12345A.cmd -"}, "folders that are not siblings"},
    {{"d/x/in/12345A.ok", "d/out/12345A.cmd"}, {"d"},
     {"pending d/out/12345A.cmd -", "orphan - d/x/in/12345A.ok"}, "an in folder one level down"},
    {{"d/in/12345A.ok", "d/in/sub/in/12345A.ok", "d/in/sub/out/12345A.cmd", "d/inbox/in/12345A.ok",
      "d/out/12345A.cmd", "d/out/zz/in/54321A.ok"}, {"d"},
     {"answered d/in/sub/out/12345A.cmd d/in/sub/in/12345A.ok", "orphan - d/inbox/in/12345A.ok",
      "orphan - d/out/zz/in/54321A.ok", "answered d/out/12345A.cmd d/in/12345A.ok"},
     "pairs nested inside a pair, and a sibling between in and out"},
    {{"d/out/12345A.cmd", "d/in/12345A.ok", "d/out/54321A.cmd", "d/in/54321A.fail"},
     {"d/out/54321A.cmd", "d/out/12345A.cmd", "d/in/12345A.ok", "d/in/54321A.fail"},
     {"answered d/out/12345A.cmd d/in/12345A.ok", "answered d/out/54321A.cmd d/in/54321A.fail"},
     "files named one by one, out before in"},
    {{"d/out/12345A.cmd", "d/in/12345A.ok"}, {"d", "d"},
     {"answered d/out/12345A.cmd d/in/12345A.ok", "answered d/out/12345A.cmd d/in/12345A.ok"},
     "a tree named twice pairs twice"},
    {{"d/spool\\out\\12345A.cmd", "d/spool\\in\\12345A.ok", "d/spool\\in\\54321A.ok"}, {"d"},
     {"answered d/spool\\out\\12345A.cmd d/spool\\in\\12345A.ok", "orphan - d/spool\\in\\54321A.ok"},
     "\\ separates folders", true},
  };
  // clang-format on
  const Bytes command = vardek_bytes({.stamp = OLD});
  const Bytes response = vardek_bytes({.stamp = NEW});
  for (const RuleRow& row : rows) {
    SCOPED_TRACE(row.why);
    if (row.unix_names && tool_is_windows_program()) continue;
    const ScratchDir dir;
    for (const std::string& file : row.files)
      dir.write(file, file.ends_with(".cmd") ? command : response);
    settle(".");
    std::vector<std::string> args = {"--json", "--pairs"};
    args.insert(args.end(), row.operands.begin(), row.operands.end());
    EXPECT_EQ(pairs_of(run_inspector(args)), row.pairs);
  }
}

// A pending command's age, by its last change, lands in its bucket.
TEST(Pairs, Ages) {
  const ScratchDir dir;
  const Bytes command = vardek_bytes();
  const long long ages[] = {-3600, 10, 300, 1800, 5 * 3600, 3 * 86400};
  for (std::size_t i = 0; i < std::size(ages); ++i) {
    const std::string path = "d/out/1000" + std::to_string(i) + "A.cmd";
    dir.write(path, command);
    age(path, ages[i]);
  }
  const Outcome outcome = run_inspector({"--json", "--pairs", "d"});
  std::vector<long long> got;
  for (const std::string& line : lines_of(outcome.out)) {
    const auto record = nlohmann::json::parse(line);
    if (record.at("type") == "pair") got.push_back(record.at("age_s").get<long long>());
    if (record.at("type") == "pairs") {
      EXPECT_EQ(record.at("pending_by_age"),
                nlohmann::json::parse(R"({"under_1m":2,"under_10m":1,"under_1h":1,"under_1d":1,"older":1})"));
    }
  }
  ASSERT_EQ(got.size(), std::size(ages));
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(ages[i]);
    // A change stamped in the future counts as just now.
    EXPECT_LE(std::abs(got[i] - std::max(0LL, ages[i])), 5);
  }
}

struct AgeRow {
  std::uint64_t seconds;
  std::size_t bucket;
  std::string text;
};

TEST(Pairs, AgeBucketsAndText) {
  // clang-format off
  const AgeRow rows[] = {
    {0,       0, "0s"},      {59,     0, "59s"},
    {60,      1, "1m 0s"},   {599,    1, "9m 59s"},
    {600,     2, "10m 0s"},  {3599,   2, "59m 59s"},
    {3600,    3, "1h 0m"},   {8079,   3, "2h 14m"},
    {86399,   3, "23h 59m"}, {86400,  4, "1d 0h"},
    {400000,  4, "4d 15h"},
  };
  // clang-format on
  for (const AgeRow& row : rows) {
    SCOPED_TRACE(row.seconds);
    EXPECT_EQ(age_bucket(row.seconds), row.bucket);
    EXPECT_EQ(age_text(row.seconds), row.text);
  }
}

// The same bytes whatever the threads; -q keeps every pair but those
// answered ok, --summary only the summaries.
TEST(Pairs, SameBytesWhateverTheThreadsAndQuiet) {
  const ScratchDir dir;
  const Bytes old_file = vardek_bytes({.stamp = OLD});
  const Bytes new_file = vardek_bytes({.stamp = NEW});
  for (int i = 0; i < 400; ++i) {
    const std::string stem = std::to_string(100000 + i);
    const std::string folder = "spool/" + std::to_string(i % 9) + (i % 3 ? "/" : "/check");
    dir.write(folder + "out/" + stem + ".cmd", i % 23 == 0 ? Bytes{} : old_file);
    if (i % 10 == 1) continue;
    dir.write(folder + "in/" + stem + (i % 4 ? ".ok" : ".fail"), i % 10 == 2 ? old_file : new_file);
    if (i % 37 == 0) dir.write(folder + "in/" + stem + ".ok", new_file);
  }
  // Pending commands changed in the future: an age of 0 in every run.
  for (int i = 1; i < 400; i += 10)
    age("spool/" + std::to_string(i % 9) + (i % 3 ? "/" : "/check") + "out/" + std::to_string(100000 + i) + ".cmd",
        -3600);
  settle("spool");
  const Outcome one = run_inspector({"-j", "1", "--pairs", "spool"});
  EXPECT_EQ(one.status, 4);
  for (const char* format : {"--json", "--pairs"}) {
    SCOPED_TRACE(format);
    const Outcome base = run_inspector({"-j", "1", "--pairs", format, "spool"});
    EXPECT_EQ(run_inspector({"-j", "8", "--pairs", format, "spool"}), base);
  }
  const std::vector<std::string> lines = lines_of(one.out);
  std::string failures, summaries;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (i + 3 >= lines.size())
      summaries += line + "\n";
    else if (line.find(": valid: ") == std::string::npos && line.find(": answered (ok) ") == std::string::npos)
      failures += line + "\n";
  }
  EXPECT_NE(failures.find(": pending for 0s\n"), std::string::npos);
  EXPECT_NE(failures.find(": answered (fail) by "), std::string::npos) << "-q keeps what failed";
  EXPECT_EQ(run_inspector({"-q", "--pairs", "-j", "8", "spool"}), (Outcome{failures + summaries, "", 4}));
  EXPECT_EQ(run_inspector({"--summary", "--pairs", "spool"}), (Outcome{summaries, "", 4}));
}

// Writes a file below the current folder, which a ScratchDir has made.
void write_here(const std::string& path, const Bytes& bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

// What the walk did not give is looked up on disk: a partner folder not
// named, not walked or left out, a link, a file too young to judge; a
// command is pending only when its response is not there.
struct DiskRow {
  std::function<void()> make;  // in a fresh folder, beside a valid d/out/10001A.cmd
  std::vector<std::string> args;
  std::vector<std::string> pairs;  // "state command response", "-" for none
  const char* why;
};

TEST(Pairs, FromTheSpoolOnDisk) {
  if (tool_is_windows_program()) GTEST_SKIP() << "links and ages are set the Unix way here";
  const Bytes command = vardek_bytes({.stamp = OLD});
  const Bytes response = vardek_bytes({.stamp = NEW});
  const auto answer = [&] { write_here("d/in/10001A.ok", response); };
  // clang-format off
  const DiskRow rows[] = {
    {answer, {"d/out"}, {"answered d/out/10001A.cmd d/in/10001A.ok"}, "only out/ named: its responses are looked up"},
    {answer, {"d/in"}, {}, "only in/ named: a response whose command is on disk is no orphan"},
    {answer, {"--exclude", "in", "d"}, {"answered d/out/10001A.cmd d/in/10001A.ok"}, "the partner folder left out is still looked in"},
    {answer, {"--max-depth", "1", "d/out", "d/in"}, {"answered d/out/10001A.cmd d/in/10001A.ok"}, "named out/ first, in/ last"},
    {[&] { write_here("store/10001A.ok", response);
           fs::create_directories("d/in");
           fs::create_symlink("../../store/10001A.ok", "d/in/10001A.ok"); },
     {"d"}, {"answered d/out/10001A.cmd d/in/10001A.ok"}, "a link to a response counts as that file, as the tool opens it"},
    {[] {}, {"d"}, {"pending d/out/10001A.cmd -"}, "no in/ at all: nothing answers it"},
    {[&] { answer(); age("d/out/10001A.cmd", 7200); },
     {"--min-age", "1h", "d"}, {"young d/out/10001A.cmd d/in/10001A.ok"}, "a response younger than --min-age: young, not pending"},
    {[&] { answer(); age("d/in/10001A.ok", 7200); },
     {"--min-age", "1h", "d"}, {"young d/out/10001A.cmd -"}, "a young command: young, and its response no orphan"},
    {[&] { answer(); age("d/in/10001A.ok", 7200); age("d/out/10001A.cmd", 7200); },
     {"--min-age", "1h", "d/out"}, {"answered d/out/10001A.cmd d/in/10001A.ok"}, "old enough, looked up"},
  };
  // clang-format on
  for (const DiskRow& row : rows) {
    SCOPED_TRACE(row.why);
    const ScratchDir dir;
    dir.write("d/out/10001A.cmd", command);
    row.make();
    std::vector<std::string> args = {"--json", "--pairs"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    EXPECT_EQ(pairs_of(run_inspector(args)), row.pairs);
  }
}

// A partner folder that cannot be looked in: nobody can say, and the
// record carries the system's reason; young and unknown in words.
TEST(Pairs, UnknownAndYoungInWords) {
  if (tool_is_windows_program() || geteuid() != 0) GTEST_SKIP() << "needs root, to run as nobody";
  const ScratchDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  dir.write("d/out/10001A.cmd", vardek_bytes({.stamp = OLD}));
  dir.write("d/out/10002A.cmd", vardek_bytes({.stamp = OLD}));
  dir.write("d/in/10001A.ok", vardek_bytes({.stamp = NEW}));
  age("d/out/10001A.cmd", 7200);
  fs::permissions("d/in", fs::perms::owner_all);
  const std::vector<std::string> as_nobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  const Outcome text = run_inspector({"--pairs", "-q", "d/out"}, as_nobody);
  EXPECT_EQ(text.out,
            "d/out/10001A.cmd: unknown: cannot look for its response: Permission denied\n"
            "d/out/10002A.cmd: unknown: cannot look for its response: Permission denied\n"
            "2 commands: 0 answered (0 ok, 0 fail), 0 stale, 0 same, 0 pending, 0 in conflict, 0 bad responses, "
            "0 bad commands, 0 young, 2 unknown; 0 orphan responses\n"
            "pending by age: 0 under 1m, 0 under 10m, 0 under 1h, 0 under 1d, 0 older\n" +
                summary_line({.valid = 2}));
  const Outcome json = run_inspector({"--pairs", "--json", "d/out/10001A.cmd"}, as_nobody);
  EXPECT_NE(json.out.find(R"({"type":"pair","command":"d/out/10001A.cmd","response":null,"state":"unknown",)"
                          R"("outcome":null,"command_key":"202601010000","response_key":null,"age_s":null,)"
                          R"("error":"Permission denied","errno":"EACCES"})" "\n"),
            std::string::npos)
      << json.out;
  fs::permissions("d/in", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(run_inspector({"--pairs", "-q", "--min-age", "1h", "d"}).out,
            "d/out/10001A.cmd: young: d/in/10001A.ok changed within --min-age\n"
            "d/out/10002A.cmd: young: changed within --min-age\n"
            "2 commands: 0 answered (0 ok, 0 fail), 0 stale, 0 same, 0 pending, 0 in conflict, 0 bad responses, "
            "0 bad commands, 2 young, 0 unknown; 0 orphan responses\n"
            "pending by age: 0 under 1m, 0 under 10m, 0 under 1h, 0 under 1d, 0 older\n" +
                summary_line({.valid = 1, .skipped = 2}));
}

// Files that arrive and go while the walk runs, as writers and consumers
// make and take them: a hook in the walk's sink does it at a known point.
TEST(Pairs, FilesThatComeAndGoDuringTheWalk) {
  const ScratchDir dir;
  const Bytes command = vardek_bytes({.stamp = OLD});
  const Bytes response = vardek_bytes({.stamp = NEW});
  for (const char* stem : {"10000A", "10001A", "10002A", "10003A", "10004A", "10005A", "10006A"})
    dir.write(std::string("d/out/") + stem + ".cmd", command);
  for (const char* stem : {"10000A", "10001A", "10004A", "10006A"})
    dir.write(std::string("d/in/") + stem + ".ok", response);
  for (const char* path : {"d/out/10001A.cmd", "d/out/10002A.cmd", "d/out/10003A.cmd", "d/out/10004A.cmd"})
    age(path, 3 * 86400);
  fs::remove("d/out/10005A.cmd");
  dir.write("d/in/10005A.ok", response);
  // Each hook runs when the report of its file has been handed on.
  const std::map<std::string, std::function<void()>> hooks = {
      // The walk has listed in/: the consumer takes 10001A's and 10004A's
      // responses, a writer answers 10002A.
      {"d/in/10000A.ok", [&] {
         fs::remove("d/in/10001A.ok");
         fs::remove("d/in/10004A.ok");
         dir.write("d/in/10002A.ok", response);
       }},
      // The walk has listed out/: the consumer takes 10001A's command, and
      // 10006A's before it is opened.
      {"d/out/10001A.cmd", [] { fs::remove("d/out/10001A.cmd"); }},
      {"d/out/10005A.cmd", [] {}},
      {"d/out/10004A.cmd", [] { fs::remove("d/out/10006A.cmd"); }},
  };
  JudgeOptions judge;
  DiskSpool spool(judge);
  PairStream pairs(std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch()).count(),
                   &spool);
  std::vector<PairRecord> records;
  bool given = false;
  inspect([&](std::string& operand) { operand = "d"; return !std::exchange(given, true); }, {}, judge,
          {.jobs = 1},
          [&](FileReport&& report) {
            pairs.add(report, records);
            if (const auto hook = hooks.find(report.path); hook != hooks.end()) hook->second();
          },
          {});
  pairs.finish(records);
  std::vector<std::string> got;
  for (const PairRecord& r : records)
    got.push_back(std::string(state_name(r.state)) + " " + (r.command.empty() ? "-" : r.command) + " " +
                  (r.response.empty() ? "-" : r.response));
  EXPECT_EQ(got, (std::vector<std::string>{
                     "answered d/out/10000A.cmd d/in/10000A.ok",
                     // 10001A: its response and then itself taken: no record.
                     "answered d/out/10002A.cmd d/in/10002A.ok",  // answered since in/ was listed
                     // 10004A: its response taken, the command next: no record.
                     "orphan - d/in/10005A.ok",  // no command, then or now
                     // 10006A: its command taken: its response no orphan.
                     // in/ has just changed: 10003A is looked at again a
                     // moment later, at the end, and is pending still.
                     "pending d/out/10003A.cmd -",
                 }));
}

// --max-pending: a command that has waited too long fails the run with 5,
// unless a file's verdict says 3 or 4.
TEST(Pairs, MaxPending) {
  const ScratchDir dir;
  dir.write("d/out/10001A.cmd", vardek_bytes({.stamp = OLD}));
  dir.write("d/out/10002A.cmd", vardek_bytes({.stamp = OLD}));
  dir.write("d/in/10002A.ok", vardek_bytes({.stamp = NEW}));
  dir.write("bad/in/10003A.ok", {});
  age("d/out/10001A.cmd", 2 * 3600);
  settle("d");
  const std::string pairs_summary =
      "2 commands: 1 answered (1 ok, 0 fail), 0 stale, 0 same, 1 pending, 0 in conflict, 0 bad responses, "
      "0 bad commands, 0 young, 0 unknown; 0 orphan responses\n"
      "pending by age: 0 under 1m, 0 under 10m, 0 under 1h, 1 under 1d, 0 older\n";
  const std::string two = pairs_summary + summary_line({.valid = 3});
  // clang-format off
  const Row rows[] = {
    {{"--pairs", "--max-pending", "1h", "--summary", "d"},      two, 5, "pending for 2h, more than 1h allows"},
    {{"--pairs", "--max-pending", "3h", "--summary", "d"},      two, 0, "within 3h"},
    {{"--pairs", "--max-pending", "7230s", "--summary", "d"},   two, 0, "in seconds, just past its age (the exact bound is a pure row)"},
    {{"--pairs", "--max-pending", "1h", "--summary", "d", "bad"},
     std::regex_replace(pairs_summary, std::regex("0 orphan responses"), "1 orphan response") +
         summary_line({.valid = 3, .not_valid = 1}), 4,
     "a file not valid: 4 beats 5"},
    {{"--pairs", "--max-pending", "1h", "--summary", "d", "gone"}, pairs_summary + summary_line({.valid = 3, .missing = 1}), 3,
     "an operand that names nothing: 3 beats 5"},
  };
  // clang-format on
  expect_inspector_rows(rows);
  EXPECT_EQ(run_inspector({"--max-pending", "1h", "d"}),
            (Outcome{"", "tarnwick-inspect: --max-pending applies to --pairs, which is not given\n"
                         "Try 'tarnwick-inspect --help' for more information.\n", 3}));
}

}  // namespace
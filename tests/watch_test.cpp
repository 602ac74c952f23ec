// The watch: its bookkeeping as pure tables, then the real inspector
// watching a scratch spool, driven by what it prints: each step acts on
// the tree, then waits for the lines it must bring.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pairs/live_queue.h"
#include "run_tool.h"
#include "vardek_bytes.h"
#include "watching.h"
#include "watch/relist.h"
#include "watch/settle.h"

namespace {

TEST(SettleTable, FilesComeDueInOrderOnceEach) {
  struct Case {
    const char* why;
    std::vector<std::pair<FileKey, std::int64_t>> at;  // in this order
    std::vector<FileKey> dropped;
    std::int64_t now;
    std::vector<FileKey> due;
    std::optional<std::int64_t> next_after;
  };
  const FileKey a{1, "a"}, b{1, "b"}, c{2, "a"};
  const Case cases[] = {
      {"none waits", {}, {}, 100, {}, std::nullopt},
      {"earliest first", {{b, 20}, {a, 30}, {c, 10}}, {}, 25, {c, b}, 30},
      {"a later event moves the moment", {{a, 10}, {a, 50}}, {}, 20, {}, 50},
      {"an earlier one does not", {{a, 50}, {a, 10}}, {}, 20, {}, 50},
      {"due exactly now", {{a, 20}}, {}, 20, {a}, std::nullopt},
      {"a file unlinked waits no more", {{a, 10}, {b, 10}}, {a}, 20, {b}, std::nullopt},
      {"a folder gone takes its files", {{a, 10}, {b, 10}, {c, 10}}, {{1, ""}}, 20, {c}, std::nullopt},
  };
  for (const Case& t : cases) {
    SettleTable table;
    for (const auto& [key, due] : t.at) table.at(key, due);
    for (const FileKey& key : t.dropped) key.name.empty() ? table.drop_folder(key.folder) : table.drop(key);
    EXPECT_EQ(table.take_due(t.now), t.due) << t.why;
    EXPECT_EQ(table.next(), t.next_after) << t.why;
  }
}

TEST(SettleTable, StillToWait) {
  struct Case {
    std::int64_t now, modified, settle, min_age, wait;
    const char* why;
  };
  const Case cases[] = {
      {1000, 900, 50, 0, 0, "settled"},
      {1000, 980, 50, 0, 30, "changed 20 ms ago: 30 more"},
      {1000, 980, 50, 500, 480, "young: until --min-age"},
      {1000, 500, 50, 500, 0, "exactly old enough"},
      {1000, 90000, 50, 500, 500, "dated in the future: no longer than the longest wait"},
  };
  for (const Case& t : cases) EXPECT_EQ(still_to_wait(t.now, t.modified, t.settle, t.min_age), t.wait) << t.why;
}

TEST(Relist, ReportsOnlyWhatChanged) {
  const FileState one{1, 10, 33, 5}, grown{1, 10, 40, 6}, replaced{1, 11, 33, 5}, touched{1, 10, 33, 7},
      other_disk{2, 10, 33, 5};
  struct Case {
    const char* why;
    std::map<std::string, FileState> known;
    std::vector<std::pair<std::string, FileState>> listed;
    std::vector<std::string> changed, gone;
  };
  const Case cases[] = {
      {"nothing changed: no duplicate", {{"a", one}}, {{"a", one}}, {}, {}},
      {"new file", {}, {{"b", one}, {"a", one}}, {"a", "b"}, {}},
      {"written to", {{"a", one}}, {{"a", grown}}, {"a"}, {}},
      {"replaced by a rename", {{"a", one}}, {{"a", replaced}}, {"a"}, {}},
      {"same size, new time", {{"a", one}}, {{"a", touched}}, {"a"}, {}},
      {"same inode on another device", {{"a", one}}, {{"a", other_disk}}, {"a"}, {}},
      {"taken away", {{"a", one}, {"b", one}}, {{"b", one}}, {}, {"a"}},
      {"a name listed twice counts once", {}, {{"a", one}, {"a", one}}, {"a"}, {}},
  };
  for (const Case& t : cases) {
    const Relisted r = relist_changes(t.known, t.listed);
    EXPECT_EQ(r.changed, t.changed) << t.why;
    EXPECT_EQ(r.gone, t.gone) << t.why;
  }
}

// A spool where every file asked for is there, and no response: the queue
// must decide from what it is given.
class NoResponses final : public Spool {
 public:
  Look look(const std::string& /*path*/) override { return {}; }
  bool there(const std::string& /*path*/) override { return true; }
  bool still(const std::string& /*folder*/) override { return true; }
  void wait_until_still() override {}
};

FileReport judged(const std::string& path, std::int64_t modified) {
  FileReport report;
  report.path = path;
  report.name = check_name(path);
  const Bytes bytes = vardek_bytes({.stamp = {0x20, 0x26, 0x01, 0x01, static_cast<unsigned char>(modified / 60 % 60),
                                              static_cast<unsigned char>(modified % 60)}});
  keep_image(bytes.data(), bytes.size(), report.read);
  report.read.modified = modified;
  report.read.dated = true;
  report.content = check_content(report.read.checked());
  report.verdict = Verdict::valid;
  return report;
}

TEST(LiveQueue, SaysEachChangeOnce) {
  // At a second since 1970: `cmd`/`ok` land, judged (changed at that
  // second); `said:STATE` the audit's record of the command; `gone` it is
  // taken; `tick` the alarm rings. Each step's records: "state command".
  struct Step {
    std::int64_t at;
    std::string what;
    std::vector<std::string> records;
  };
  struct Case {
    const char* why;
    std::optional<std::int64_t> pending_after;
    std::vector<Step> steps;
    std::optional<std::int64_t> alarm_after;
  };
  const Case cases[] = {
      {"a command lands, then its response", std::nullopt,
       {{100, "cmd", {"pending out/12345A.cmd"}}, {105, "ok", {"answered out/12345A.cmd"}}}, std::nullopt},
      {"a response with its command on disk is no orphan", std::nullopt, {{100, "ok", {}}}, std::nullopt},
      {"waited too long: said once, then answered", 60,
       {{100, "cmd", {"pending out/12345A.cmd"}}, {159, "tick", {}}, {160, "tick", {"pending out/12345A.cmd"}},
        {200, "tick", {}}, {210, "ok", {"answered out/12345A.cmd"}}},
       std::nullopt},
      {"the alarm is set for the command waiting", 60, {{100, "cmd", {"pending out/12345A.cmd"}}}, 160},
      {"taken by its consumer: let go, no record", 60, {{100, "cmd", {"pending out/12345A.cmd"}}, {101, "gone", {}}},
       std::nullopt},
      {"the audit found it answered: let go", std::nullopt,
       {{100, "known", {}}, {101, "said:answered", {}}, {102, "ok", {}}}, std::nullopt},
      {"the audit said it pending past the bound: not said again", 60,
       {{100, "known", {}}, {300, "said:pending", {}}, {400, "tick", {}}}, std::nullopt},
      {"the command judged again, still waiting: nothing new", std::nullopt,
       {{100, "cmd", {"pending out/12345A.cmd"}}, {101, "cmd", {}}}, std::nullopt},
  };
  for (const Case& t : cases) {
    NoResponses spool;
    LiveQueue queue(t.pending_after, &spool);
    for (const Step& step : t.steps) {
      std::vector<PairRecord> out;
      if (step.what == "cmd") queue.add(judged("out/12345A.cmd", step.at), step.at, out);
      if (step.what == "ok") queue.add(judged("in/12345A.ok", step.at), step.at, out);
      if (step.what == "known") queue.known(judged("out/12345A.cmd", step.at), step.at);
      if (step.what == "gone") queue.gone("out/12345A.cmd");
      if (step.what == "tick") queue.overdue(step.at, out);
      if (step.what.starts_with("said:")) {
        PairRecord record;
        record.command = "out/12345A.cmd";
        record.state = step.what == "said:answered" ? PairState::answered : PairState::pending;
        record.age = static_cast<std::uint64_t>(step.at - 100);
        queue.said(record, step.at);
      }
      std::vector<std::string> records;
      for (const PairRecord& r : out) records.push_back(std::string(state_name(r.state)) + " " + r.command);
      EXPECT_EQ(records, step.records) << t.why << ", at " << step.at << " " << step.what;
    }
    EXPECT_EQ(queue.next_alarm(), t.alarm_after) << t.why;
  }
}

struct Step {
  std::function<void()> act;
  std::vector<std::string> lines;  // the lines it brings, in order
};

struct WatchRow {
  const char* why;
  std::vector<std::string> arguments;
  std::function<void()> before;  // the spool as the audit finds it
  std::vector<Step> steps;       // the first acts on nothing: the audit
  std::string summary;           // after SIGTERM
  int status;
};

// More files than the watch judges on its own thread at once, all changed
// at the same moment, so that all come due at once: the audit holds them
// back as young, the watch judges them together.
constexpr int BURST = 300;
std::string burst_name(int i) { return "spool/in/" + std::to_string(10000 + i) + "A.ok"; }
void young_burst() {
  const auto now = fs::file_time_type::clock::now();
  for (int i = 0; i < BURST; ++i) put(burst_name(i), VALID);
  for (int i = 0; i < BURST; ++i) fs::last_write_time(burst_name(i), now);
}
std::vector<std::string> burst_lines() {
  std::vector<std::string> lines;
  for (int i = 0; i < BURST; ++i) lines.push_back(burst_name(i) + ": skipped: young");
  lines.push_back("watch: watching 2 folders");
  for (int i = 0; i < BURST; ++i) lines.push_back(valid_line(burst_name(i)));
  return lines;
}

TEST(Watch, JudgesWhatLandsAsTheTreeChanges) {
  const auto nothing = [] {};
  const auto spool = [] { fs::create_directories("spool/in"); };
  const std::string started = "watch: watching 2 folders";
  const WatchRow rows[] = {
      {"a file renamed in", {"--watch", "spool"}, spool,
       {{nothing, {started}}, {[] { land("spool/in/12345A678.ok", VALID); }, {valid_line("spool/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"written in place, closed between chunks within the settle time: judged once, whole",
       {"--watch", "--settle", "2s", "spool"}, spool,
       {{nothing, {started}},
        {[] {
           put("spool/in/12345A678.ok", SHORT);
           put("spool/in/12345A678.ok", VALID.substr(20));
         },
         {valid_line("spool/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"written in place with a pause longer than the settle time: judged again",
       {"--watch", "--settle", "1ms", "spool"}, spool,
       {{nothing, {started}},
        {[] { put("spool/in/12345A678.ok", SHORT); }, {short_line("spool/in/12345A678.ok")}},
        {[] { put("spool/in/12345A678.ok", VALID.substr(20)); }, {valid_line("spool/in/12345A678.ok")}}},
       "2 files judged: 1 valid, 1 not valid, 0 bad names, 0 not opened; 0 skipped", 4},
      {"a new folder filled at once", {"--watch", "spool"}, spool,
       {{nothing, {started}}, {[] { land("spool/a/b/in/12345A678.ok", VALID); }, {valid_line("spool/a/b/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"a folder deleted and made again", {"--watch", "spool"}, [] { put("spool/in/12345A678.ok", VALID); },
       {{nothing, {valid_line("spool/in/12345A678.ok"), started}},
        {[] {
           fs::remove_all("spool/in");
           land("spool/in/12345A678.ok", SHORT);
         },
         {short_line("spool/in/12345A678.ok")}}},
       "2 files judged: 1 valid, 1 not valid, 0 bad names, 0 not opened; 0 skipped", 4},
      {"the folder named deleted, and back", {"--watch", "spool"}, spool,
       {{nothing, {started}},
        {[] { fs::remove_all("spool"); }, {"watch: spool: gone, looked for again every second"}},
        {[] { land("spool/in/12345A678.ok", VALID); },
         {"watch: spool: back, watched and listed", valid_line("spool/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"a command waits, then its response lands", {"--watch", "--pairs", "spool"},
       [] { fs::create_directories("spool/out"); fs::create_directories("spool/in"); },
       {{nothing, {"watch: watching 3 folders"}},
        {[] {
           put("landing", vardek_bytes({.long_id = true}));
           fs::last_write_time("landing", fs::file_time_type::clock::now() - std::chrono::hours(1));
           fs::rename("landing", "spool/out/12345A.cmd");
         },
         {"spool/out/12345A.cmd: valid: long form (15-byte identification), timestamp head at 21, key 202612081830",
          "spool/out/12345A.cmd: pending for 1h 0m"}},
        {[] { land("spool/in/12345A.ok", vardek_bytes({.stamp = {0x20, 0x26, 0x12, 0x09, 0x00, 0x00}})); },
         {"spool/in/12345A.ok: valid: short form (12-byte identification), timestamp head at 18, key 202612090000",
          "spool/out/12345A.cmd: answered (ok) by spool/in/12345A.ok"}}},
       "0 commands: 0 answered (0 ok, 0 fail), 0 stale, 0 same, 0 pending, 0 in conflict, 0 bad responses, 0 bad "
       "commands, 0 young, 0 unknown; 0 orphan responses\n"
       "pending by age: 0 under 1m, 0 under 10m, 0 under 1h, 0 under 1d, 0 older\n"
       "2 files judged: 2 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped",
       0},
      {"--poll: every folder polled, none watched", {"--watch", "--poll", "20ms", "spool"}, spool,
       {{nothing, {"watch: watching 0 folders, polling 2 every 0.020s"}},
        {[] { land("spool/a/in/12345A678.ok", VALID); }, {valid_line("spool/a/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"--max-depth 1: the folders below are not watched", {"--watch", "--max-depth", "1", "in"},
       [] { fs::create_directories("in/sub"); },
       {{nothing, {"watch: watching 1 folder"}},
        {[] {
           land("in/sub/12345A678.ok", VALID);
           land("in/12345A678.ok", VALID);
         },
         {valid_line("in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"a temporary name left out, then renamed to its own", {"--watch", "--exclude", ".*", "spool"}, spool,
       {{nothing, {started}},
        {[] {
           put("spool/in/.12345A678.ok", VALID);
           fs::rename("spool/in/.12345A678.ok", "spool/in/12345A678.ok");
         },
         {valid_line("spool/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped", 0},
      {"young files all due at once, judged on several threads: each once, in order",
       {"--watch", "--min-age", "3s", "spool"}, young_burst, {{nothing, burst_lines()}},
       std::to_string(BURST) + " files judged: " + std::to_string(BURST) +
           " valid, 0 not valid, 0 bad names, 0 not opened; " + std::to_string(BURST) + " skipped",
       0},
      {"a young file is held back by the audit, then judged", {"--watch", "--min-age", "300ms", "spool"},
       [] { put("spool/in/12345A678.ok", VALID); },
       {{nothing, {"spool/in/12345A678.ok: skipped: young", started, valid_line("spool/in/12345A678.ok")}}},
       "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 1 skipped", 0},
  };
  for (const WatchRow& row : rows) {
    ScratchDir scratch;
    row.before();
    Watching watching(row.arguments);
    for (const Step& step : row.steps) {
      step.act();
      for (const std::string& line : step.lines) ASSERT_EQ(watching.line(), line) << row.why;
    }
    watching.signal(SIGTERM);
    std::istringstream summary(row.summary);
    for (std::string line; std::getline(summary, line);) EXPECT_EQ(watching.line(), line) << row.why;
    EXPECT_EQ(watching.line(), "EOF") << row.why;
    EXPECT_EQ(watching.status(), row.status) << row.why;
  }
}

// What the watch sees on every platform: a file renamed in, and one
// written in place. The Wine suite runs these against the Windows build.
TEST(WatchEverywhere, SeesWhatLands) {
  const std::string in = tool_is_windows_program() ? "spool\\in\\" : "spool/in/";
  struct Case {
    const char* why;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"renamed in", [] { land("spool/in/12345A678.ok", VALID); }},
      {"written in place", [] { put("spool/in/12345A678.ok", VALID); }},
  };
  for (const Case& t : cases) {
    ScratchDir scratch;
    fs::create_directories("spool/in");
    Watching watching({"--watch", "spool"});
    ASSERT_EQ(watching.line(), "watch: watching 2 folders") << t.why;
    t.act();
    EXPECT_EQ(watching.line(), valid_line(in + "12345A678.ok")) << t.why;
  }
}

// SIGHUP lists the tree again, as an overflow does: only what changed since
// it was judged is reported, and the record says how many.
TEST(Watch, ListedAgainReportsOnlyWhatChanged) {
  struct Case {
    const char* why;
    std::function<void()> act;
    std::string relisted;
  };
  const Case cases[] = {
      {"nothing changed", [] {}, "watch: listed again (hangup): 2 folders, 0 files new or changed"},
      {"a folder renamed within the tree", [] { fs::rename("spool/in", "spool/old"); },
       "watch: listed again (hangup): 2 folders, 0 files new or changed"},
      {"a folder taken out of the tree", [] { fs::rename("spool/in", "elsewhere"); },
       "watch: listed again (hangup): 1 folder, 0 files new or changed"},
  };
  for (const Case& t : cases) {
    ScratchDir scratch;
    put("spool/in/12345A678.ok", VALID);
    Watching watching({"--watch", "spool"});
    ASSERT_EQ(watching.line(), valid_line("spool/in/12345A678.ok")) << t.why;
    ASSERT_EQ(watching.line(), "watch: watching 2 folders") << t.why;
    t.act();
    watching.signal(SIGHUP);
    EXPECT_EQ(watching.line(), t.relisted) << t.why;
    watching.signal(SIGTERM);
    EXPECT_EQ(watching.line(), "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped") << t.why;
    EXPECT_EQ(watching.status(), 0) << t.why;
  }
}

}  // namespace

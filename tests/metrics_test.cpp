// tarnwick-inspect --metrics and the run record: the metrics file's values
// for a run, kept across runs where they must be, and accepted by
// Prometheus' own checker; the run's fields in the JSON summary; --label.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "messages.h"
#include "model/run_record.h"
#include "print/metrics.h"
#include "print/sink.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

namespace fs = std::filesystem;

// A metrics file as series -> value: `name{labels}` as written.
std::map<std::string, std::string> series_of(const std::string& path) {
  std::map<std::string, std::string> series;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') continue;
    const std::size_t space = line.rfind(' ');
    series[line.substr(0, space)] = line.substr(space + 1);
  }
  return series;
}

// Prometheus' own check of a metrics file, where promtool is installed
// (CI installs it): the file must parse and follow the naming practice.
void expect_promtool_accepts(const std::string& path) {
  if (std::system("command -v promtool >/dev/null 2>&1") != 0) return;
  EXPECT_EQ(std::system(("promtool check metrics < " + path + " >promtool.out 2>&1").c_str()), 0)
      << std::ifstream("promtool.out").rdbuf();
}

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TEST(Metrics, LastSuccessReadBack) {
  struct Case {
    std::string previous;
    std::optional<std::int64_t> ms;
    const char* why;
  };
  // clang-format off
  const Case cases[] = {
    {"tarnwick_inspect_last_success_timestamp_seconds 1765370000.125\n", 1765370000125, "no labels"},
    {"# HELP x\ntarnwick_inspect_last_success_timestamp_seconds{site=\"a b\"} 17.5\n", 17500, "labels, a space in one"},
    {"tarnwick_inspect_last_success_timestamp_seconds 42", 42000, "whole seconds, no newline"},
    {"tarnwick_inspect_last_success_timestamp_seconds_x 5\ntarnwick_inspect_last_success_timestamp_seconds 6\n", 6000, "a longer name is another metric"},
    {"tarnwick_inspect_last_success_timestamp_seconds 1e9\n", std::nullopt, "a form it never writes"},
    {"tarnwick_inspect_last_success_timestamp_seconds -5\n", std::nullopt, "before 1970"},
    {"tarnwick_inspect_run_exit_status 0\n", std::nullopt, "none written"},
    {"", std::nullopt, "an empty file"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(last_success_in(c.previous), c.ms) << c.why;
}

TEST(Metrics, TimesInText) {
  struct Case {
    std::int64_t ms;
    const char* utc;
    const char* seconds;
  };
  const Case cases[] = {
      {0, "1970-01-01T00:00:00.000Z", "0.000"},
      {42, "1970-01-01T00:00:00.042Z", "0.042"},
      {1709251199999, "2024-02-29T23:59:59.999Z", "1709251199.999"},  // a leap day's last moment
      {1796905361369, "2026-12-10T12:22:41.369Z", "1796905361.369"},
      {-1, "1969-12-31T23:59:59.999Z", "-0.001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utc_time_text(c.ms), c.utc);
    EXPECT_EQ(seconds_text(c.ms), c.seconds);
  }
}

TEST(Metrics, LabelKeys) {
  struct Case {
    const char* key;
    bool taken;
  };
  const Case cases[] = {{"site", true}, {"env_2", true}, {"", false}, {"Site", false},
                        {"2site", false}, {"si-te", false}, {"path", false}, {"status", false},
                        {"le", false}, {"verdict", false}};
  for (const Case& c : cases) EXPECT_EQ(label_key_fault(c.key).empty(), c.taken) << c.key;
}

// A histogram's bucket counts what is at most its bound old, where the
// summary's "under 1m" counts what is younger.
TEST(Metrics, PendingBucketsHoldTheirBound) {
  struct Case {
    std::uint64_t age;
    std::string le_60, le_600;
  };
  const Case cases[] = {{59, "1", "1"}, {60, "1", "1"}, {61, "0", "1"}, {600, "0", "1"}, {601, "0", "0"}};
  for (const Case& c : cases) {
    PairSummary pairs;
    PairRecord pending;
    pending.age = c.age;
    pairs.count(pending);
    const Summary files;
    const RunRecord run;
    const Labels none;
    const std::string text = metrics_text({files, &pairs, run, none, std::nullopt});
    EXPECT_NE(text.find("_bucket{le=\"60\"} " + c.le_60 + "\n"), std::string::npos) << c.age;
    EXPECT_NE(text.find("_bucket{le=\"600\"} " + c.le_600 + "\n"), std::string::npos) << c.age;
  }
}

// Two runs unlike each other write the same HELP and TYPE lines, so that
// node_exporter takes files from both on one host.
TEST(Metrics, SameHelpWhateverTheRun) {
  const auto help_lines = [](const std::string& text) {
    std::string help;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
      if (line.starts_with("# ")) help += line + "\n";
    return help;
  };
  Summary empty, busy;
  busy.not_valid = 3;
  busy.by_test[1] = 3;
  PairSummary pairs;
  pairs.states[3] = 2;
  pairs.oldest_pending = 100;
  RunRecord clean, failed;
  clean.start_ms = 1;
  failed.start_ms = 9;
  failed.status = 3;
  const Labels none, site = {{"site", "a\"b"}};
  EXPECT_EQ(help_lines(metrics_text({empty, &pairs, clean, none, std::nullopt})),
            help_lines(metrics_text({busy, &pairs, failed, site, 5000})));
}

// The spool of every verdict and pair state, one of each.
void every_state(const ScratchDir& dir) {
  const Bytes old_file = vardek_bytes({.stamp = {0x20, 0x26, 0x01, 0x01, 0x00, 0x00}});
  const Bytes new_file = vardek_bytes({.stamp = {0x20, 0x26, 0x01, 0x02, 0x00, 0x00}});
  dir.write("s/out/10001A.cmd", old_file);  // answered
  dir.write("s/in/10001A.fail", new_file);
  dir.write("s/out/10002A.cmd", new_file);  // stale
  dir.write("s/in/10002A.ok", old_file);
  dir.write("s/out/10004A.cmd", old_file);  // pending, 2 h
  dir.write("s/out/10014A.cmd", old_file);  // pending, 5 min
  dir.write("s/out/10005A.cmd", old_file);  // conflict
  dir.write("s/in/10005A.ok", new_file);
  dir.write("s/in/10005A.fail", new_file);
  dir.write("s/out/10006A.cmd", old_file);  // bad response: length
  dir.write("s/in/10006A.ok", old_file.substr(1));
  dir.write("s/in/10008A.ok", new_file);    // orphan
  dir.write("s/in/1008A.ok", new_file);     // bad name: stem
  const auto ago = [](const char* path, int seconds) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
  };
  ago("s/out/10004A.cmd", 7200);
  ago("s/out/10014A.cmd", 300);
  for (const char* folder : {"s/in", "s/out", "s"}) ago(folder, 3600);
}

struct RunRow {
  std::vector<std::string> args;
  int status;
  std::map<std::string, std::string> values;  // series -> value; "*" any
  const char* why;
};

TEST(Metrics, FileOfARun) {
  const ScratchDir dir;
  every_state(dir);
  fs::create_directories("empty");
  dir.write("good/in/12345A.ok", vardek_bytes());
  const std::string oldest = "tarnwick_inspect_oldest_pending_age_seconds";
  // clang-format off
  const RunRow rows[] = {
    {{"empty"}, 0, {{R"(tarnwick_inspect_files{verdict="valid"})", "0"}, {"tarnwick_inspect_run_exit_status", "0"},
                    {"tarnwick_inspect_commands{state=\"pending\"}", "absent"}},
     "an empty spool, without --pairs: no pair metrics"},
    {{"--min-files", "1", "--label", "site=north", "empty"}, 3,
     {{R"(tarnwick_inspect_files{site="north",verdict="valid"})", "0"}, {R"(tarnwick_inspect_run_exit_status{site="north"})", "3"},
      {R"(tarnwick_inspect_last_success_timestamp_seconds{site="north"})", "0.000"}},
     "an empty spool under --min-files: a failed run, and no clean run ever"},
    {{"--pairs", "s"}, 4,
     {{R"(tarnwick_inspect_files{verdict="valid"})", "11"}, {R"(tarnwick_inspect_files{verdict="not-valid"})", "1"},
      {R"(tarnwick_inspect_files{verdict="bad-name"})", "1"}, {R"(tarnwick_inspect_content_failures{test="length"})", "1"},
      {R"(tarnwick_inspect_name_failures{rule="stem"})", "1"},
      {R"(tarnwick_inspect_commands{state="answered"})", "1"}, {R"(tarnwick_inspect_commands{state="stale"})", "1"},
      {R"(tarnwick_inspect_commands{state="pending"})", "2"}, {R"(tarnwick_inspect_commands{state="conflict"})", "1"},
      {R"(tarnwick_inspect_commands{state="bad-response"})", "1"}, {R"(tarnwick_inspect_commands{state="orphan"})", "1"},
      {R"(tarnwick_inspect_pending_age_seconds_bucket{le="60"})", "0"},
      {R"(tarnwick_inspect_pending_age_seconds_bucket{le="600"})", "1"},
      {R"(tarnwick_inspect_pending_age_seconds_bucket{le="3600"})", "1"},
      {R"(tarnwick_inspect_pending_age_seconds_bucket{le="86400"})", "2"},
      {R"(tarnwick_inspect_pending_age_seconds_bucket{le="+Inf"})", "2"},
      {"tarnwick_inspect_pending_age_seconds_count", "2"}, {"tarnwick_inspect_run_exit_status", "4"}},
     "every verdict and pair state: pending ages cumulative, as a histogram's buckets"},
  };
  // clang-format on
  for (const RunRow& row : rows) {
    SCOPED_TRACE(row.why);
    fs::remove("m.prom");
    std::vector<std::string> args = {"--summary", "--metrics", "m.prom"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const std::int64_t before = now_ms();
    EXPECT_EQ(run_inspector(args).status, row.status);
    const std::int64_t after = now_ms();
    const auto series = series_of("m.prom");
    for (const auto& [name, value] : row.values) {
      const auto found = series.find(name);
      if (value == "absent")
        EXPECT_EQ(found, series.end()) << name;
      else
        EXPECT_EQ(found == series.end() ? "absent" : found->second, value) << name;
    }
    const std::string suffix = row.args.size() > 3 ? "{site=\"north\"}" : "";
    const double start = std::stod(series.at("tarnwick_inspect_run_start_timestamp_seconds" + suffix));
    EXPECT_GE(start * 1000, static_cast<double>(before / 1000 * 1000));
    EXPECT_LE(start * 1000, static_cast<double>(after));
    EXPECT_FALSE(fs::exists("m.prom.tmp"));
    expect_promtool_accepts("m.prom");
  }
  // The oldest pending command, from the last row: 2 h, give or take the run.
  EXPECT_NEAR(std::stod(series_of("m.prom").at(oldest)), 7200, 60);
}

// The time of the last clean run outlives the runs that fail after it.
TEST(Metrics, LastCleanRunKept) {
  const ScratchDir dir;
  dir.write("good/in/12345A.ok", vardek_bytes());
  const std::string last = "tarnwick_inspect_last_success_timestamp_seconds";
  ASSERT_EQ(run_inspector({"--summary", "--metrics", "m.prom", "good"}).status, 0);
  const std::string clean = series_of("m.prom").at(last);
  EXPECT_NE(clean, "0.000");
  ASSERT_EQ(run_inspector({"--summary", "--metrics", "m.prom", "good", "gone"}).status, 3);
  EXPECT_EQ(series_of("m.prom").at(last), clean);
  EXPECT_EQ(series_of("m.prom").at("tarnwick_inspect_run_exit_status"), "3");
  expect_promtool_accepts("m.prom");
  // A report that cannot be written fails the run, and the metrics say so.
  if (!tool_is_windows_program()) {
    const std::vector<std::string> full = {"sh", "-c", "exec \"$@\" >/dev/full", "sh"};
    ASSERT_EQ(run_inspector({"--metrics", "m.prom", "good"}, full).status, 3);
    EXPECT_EQ(series_of("m.prom").at("tarnwick_inspect_run_exit_status"), "3");
    EXPECT_EQ(series_of("m.prom").at(last), clean);
  }
  // A metrics file that cannot be written fails the run, and says why.
  fs::create_directories("m.dir");
  const Outcome unwritable = run_inspector({"--summary", "--metrics", "m.dir", "good"});
  EXPECT_EQ(unwritable.status, 3);
  EXPECT_TRUE(unwritable.err.starts_with("tarnwick-inspect: cannot write the metrics 'm.dir': ")) << unwritable.err;
  EXPECT_TRUE(fs::is_directory("m.dir"));
  EXPECT_FALSE(fs::exists("m.dir.tmp"));
}

TEST(Metrics, RunRecordAndLabels) {
  const ScratchDir dir;
  fs::create_directories("empty");
  dir.write("good/in/12345A.ok", vardek_bytes());
  const std::string file = R"({"type":"file","path":"good/in/12345A.ok","verdict":"valid","form":"short","head":18,"key":"202612081830","length":33)";
  const std::string zeros = R"("skipped":0,"vanished":0,"excluded":0,"missing":0)";
  // clang-format off
  const Row rows[] = {
    {{"--json", "--label", "site=north", "--label", "env=a=b", "good/in/12345A.ok"},
     file + R"(,"site":"north","env":"a=b"})" "\n"
     R"({"type":"summary","schema":1,"files":1,"valid":1,"not-valid":0,"bad-name":0,"cannot-open":0,)" + zeros + RUN_FIELDS R"(0,"site":"north","env":"a=b"})" "\n",
     0, "labels close every record, in the order given; the value is all after the first ="},
    {{"--json", "--summary", "--min-files", "1", "good"},
     R"({"type":"summary","schema":1,"files":1,"valid":1,"not-valid":0,"bad-name":0,"cannot-open":0,)" + zeros + RUN_FIELDS R"(0,"min_files":1,"too_few_files":false})" "\n",
     0, "--min-files met"},
    {{"--label", "path=x", "good"}, "", 3, "a key the records carry"},
    {{"--label", "site", "good"}, "", 3, "no ="},
    {{"--label", "site=a", "--label", "site=b", "good"}, "", 3, "a key given twice"},
    {{"--label", "site=\xff", "good"}, "", 3, "a value that is not UTF-8, which no record or metric could hold"},
    {{"--metrics", "", "good"}, "", 3, "no file name"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    // Windows hands a program its arguments as UTF-16: no stray byte arrives.
    const auto stray = [](const std::string& a) { return a.find('\xff') != std::string::npos; };
    if (tool_is_windows_program() && std::any_of(row.args.begin(), row.args.end(), stray)) continue;
    const Outcome outcome = run_inspector(row.args);
    EXPECT_EQ(outcome.status, row.status);
    if (row.status != 3) {
      EXPECT_EQ(outcome.out, row.out);
    } else {
      EXPECT_TRUE(outcome.err.starts_with("tarnwick-inspect: --")) << outcome.err;
    }
  }
  // The reason an empty spool fails is in the record, not only on
  // standard error.
  const Outcome too_few = run_inspector({"--json", "--min-files", "1", "empty"});
  EXPECT_EQ(too_few.out, R"({"type":"summary","schema":1,"files":0,"valid":0,"not-valid":0,"bad-name":0,"cannot-open":0,)" +
                             zeros + RUN_FIELDS R"(3,"min_files":1,"too_few_files":true})" "\n");
  EXPECT_EQ(too_few.status, 3);
}

}  // namespace

// The inspector's pure parts, as tables: the --exclude patterns, the pairs
// table, the options' numbers and the progress line's pace.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/numbers.h"
#include "app/status.h"
#include "app/terminal.h"
#include "pairs/pair_table.h"
#include "walk/glob.h"

namespace {

struct GlobRow {
  const char* pattern;
  std::string name;
  bool matches;
  const char* why;
};

TEST(InspectPure, Glob) {
  const std::string long_a(4096, 'a');
  const std::string long_bracket(4096, '[');
  const std::string unclosed = "*" + std::string(200, '[') + "x";
  // clang-format off
  const GlobRow rows[] = {
    {"",            "",            true,  "the empty pattern takes the empty name"},
    {"",            "a",           false, "and no other"},
    {"*",           "",            true,  "a star takes nothing"},
    {"*",           ".hidden",     true,  "a leading dot is a byte like any other"},
    {"*.tmp",       "a.tmp",       true,  "a suffix"},
    {"*.tmp",       "a.tmp.x",     false, "the pattern must reach the name's end"},
    {"a*b*c",       "aXbYbZc",     true,  "a star takes one byte more when what follows fails"},
    {"a*b*c",       "aXbYbZ",      false, "and gives up at the end"},
    {"?",           "",            false, "a question mark takes exactly one byte"},
    {"??",          "\xC3\xA9",    true,  "one byte, not one character"},
    {"[a-c]x",      "bx",          true,  "a range"},
    {"[a-c]x",      "dx",          false, "outside the range"},
    {"[!a-c]x",     "dx",          true,  "a negated range"},
    {"[^a-c]x",     "ax",          false, "^ negates too"},
    {"[]]",         "]",           true,  "a ] first in a set is a member"},
    {"[!]]",        "a",           true,  "and after the negation"},
    {"[a-]",        "-",           true,  "a - before the ] is a member"},
    {"[\\]]",       "]",           true,  "an escaped ] in a set"},
    {"[Z-\\]]",     "]",           true,  "an escaped ] ends a range too"},
    {"[Z-\\]]",     "\\]",         false, "and the range is the whole set"},
    {"[abc",        "[abc",        true,  "a set that never closes is the bytes as they are"},
    {"[abc",        "a",           false, "and not a set"},
    {"\\*",         "*",           true,  "an escaped star is a star"},
    {"\\*",         "x",           false, "and nothing else"},
    {"a\\",         "a\\",         true,  "a backslash at the end is itself"},
    {"[\x80-\xff]", "\xC3",        true,  "bytes above 0x7F compare unsigned"},
    {"[\x80-\xff]", "a",           false, "and ASCII lies below them"},
    {"*a*a*a*a*a*b", long_a,       false, "a pathological pattern on a long name ends"},
    {"*a*a*a*a*a*a", long_a,       true,  "and matches when it should"},
    {unclosed.c_str(), long_bracket, false, "sets that never close are not read again at each try of the star"},
  };
  // clang-format on
  for (const GlobRow& row : rows) {
    SCOPED_TRACE(row.why);
    std::size_t steps = 0;
    EXPECT_EQ(glob_matches(row.pattern, row.name, steps), row.matches) << row.pattern;
    const std::size_t pattern_size = std::string_view(row.pattern).size();
    EXPECT_LE(steps, glob_step_bound(pattern_size, row.name.size()));
  }
}

// A file of a pair, as the table is given it.
struct File {
  std::string path;
  std::optional<unsigned char> key;  // the key's last byte, when valid
  Verdict verdict = Verdict::valid;
  std::int64_t modified = 1000;
};

void put(PairTable& table, const File& file) {
  const NameCheck check = check_name(file.path);
  ASSERT_NE(check.kind, NameKind::rejected) << file.path;
  PairSide side;
  side.path = file.path;
  side.verdict = file.key ? Verdict::valid : file.verdict;
  if (file.key) side.key = TimestampKey{0x20, 0x26, 0x01, 0x01, 0x00, *file.key};
  side.modified = file.modified;
  const PairName name = pair_name(file.path, check);
  side.outcome = name.outcome;
  table.add(name, check.kind, side);
}

// "state command response", "-" for none, as the records come.
std::vector<std::string> taken(PairTable& table, const std::string& common, std::int64_t now) {
  std::vector<PairRecord> records;
  table.take_folder(common, now, nullptr, records);
  std::vector<std::string> out;
  for (const PairRecord& r : records) {
    std::string line = std::string(state_name(r.state)) + " " + (r.command.empty() ? "-" : r.command) + " " +
                       (r.response.empty() ? "-" : r.response);
    if (!r.outcome.empty()) line += " " + std::string(r.outcome);
    if (r.age) line += " age " + std::to_string(*r.age);
    out.push_back(line);
  }
  return out;
}

struct TableRow {
  std::vector<File> files;
  std::vector<std::string> records;
  const char* why;
};

TEST(InspectPure, PairTable) {
  const std::optional<unsigned char> none;
  // clang-format off
  const TableRow rows[] = {
    {{{"s/out/10001A.cmd", 1}, {"s/in/10001A.ok", 2}},   {"answered s/out/10001A.cmd s/in/10001A.ok ok"}, "a newer response"},
    {{{"s/out/10001A.cmd", 1}, {"s/in/10001A.fail", 2}}, {"answered s/out/10001A.cmd s/in/10001A.fail fail"}, "a newer failure"},
    {{{"s/out/10001A.cmd", 2}, {"s/in/10001A.ok", 1}},   {"stale s/out/10001A.cmd s/in/10001A.ok"}, "an older response"},
    {{{"s/out/10001A.cmd", 1}, {"s/in/10001A.ok", 1}},   {"same s/out/10001A.cmd s/in/10001A.ok"}, "the same key"},
    {{{"s/out/10001A.cmd", 1}},                          {"pending s/out/10001A.cmd - age 500"}, "no response"},
    {{{"s/out/10001A.cmd", 1, Verdict::valid, 2000}},    {"pending s/out/10001A.cmd - age 0"}, "changed in the future: just now"},
    {{{"s/out/10001A.cmd", 1}, {"s/in/10001A.ok", 2}, {"s/in/10001A.fail", 2}},
     {"conflict s/out/10001A.cmd s/in/10001A.ok"}, "both outcomes"},
    {{{"s/out/10001A.cmd", 1}, {"s/in/10001A.ok", none, Verdict::not_valid}},
     {"bad-response s/out/10001A.cmd s/in/10001A.ok"}, "a response not valid"},
    {{{"s/out/10001A.cmd", none, Verdict::not_valid}, {"s/in/10001A.ok", 2}},
     {"bad-command s/out/10001A.cmd s/in/10001A.ok"}, "a command not valid"},
    {{{"s/out/10001A.cmd", none, Verdict::cannot_open}, {"s/in/10001A.ok", none, Verdict::not_valid}},
     {"bad-command s/out/10001A.cmd s/in/10001A.ok"}, "both must open before either is read"},
    {{{"s/out/10001A.cmd", none, Verdict::not_valid}, {"s/in/10001A.ok", none, Verdict::cannot_open}},
     {"bad-response s/out/10001A.cmd s/in/10001A.ok"}, "the response first"},
    {{{"s/in/10001A.fail", 2}, {"s/in/10001A.ok", 2}},
     {"orphan - s/in/10001A.ok", "orphan - s/in/10001A.fail"}, "lone responses: the .ok first"},
    {{{"s/in/10001A.ok", 1}, {"s/in/10001A.ok", 2}, {"s/out/10001A.cmd", 1}},
     {"answered s/out/10001A.cmd s/in/10001A.ok ok"}, "a response named twice counts once: the last"},
    {{{"s/in/10001A.ok", 2}, {"s/in/10001A.ok", 2}}, {"orphan - s/in/10001A.ok"}, "one orphan for a response named twice"},
    {{{"s/out/10001A.cmd", 1}, {"s/out/10001A.cmd", 1}},
     {"pending s/out/10001A.cmd - age 500", "pending s/out/10001A.cmd - age 500"}, "a command named twice pairs twice"},
    {{{"s/out/20002A.cmd", 1}, {"s/in/10001A.ok", 2}, {"s/out/10001A.cmd", 1}},
     {"answered s/out/10001A.cmd s/in/10001A.ok ok", "pending s/out/20002A.cmd - age 500"}, "stem by stem"},
  };
  // clang-format on
  for (const TableRow& row : rows) {
    SCOPED_TRACE(row.why);
    // The walk's order, and every other order the files could arrive in.
    std::vector<std::size_t> order(row.files.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    do {
      PairTable table;
      for (const std::size_t i : order) put(table, row.files[i]);
      std::vector<std::string> got = taken(table, "s/", 1500);
      EXPECT_TRUE(table.empty());
      // Which of two files named the same way is the last depends on the
      // order; so does nothing else.
      const bool twice = std::any_of(row.files.begin(), row.files.end(), [&](const File& f) {
        return std::count_if(row.files.begin(), row.files.end(),
                             [&](const File& g) { return g.path == f.path && g.key != f.key; }) > 0;
      });
      if (!twice) {
        EXPECT_EQ(got, row.records);
      }
    } while (std::next_permutation(order.begin(), order.end()));
    PairTable walk;
    for (const File& file : row.files) put(walk, file);
    EXPECT_EQ(taken(walk, "s/", 1500), row.records) << "in the walk's order";
  }
}

TEST(InspectPure, PairTableRemove) {
  PairTable table;
  put(table, {"s/out/10001A.cmd", 1});
  put(table, {"s/in/10001A.ok", 2});
  put(table, {"s/in/10001A.fail", 2});
  const NameCheck ok = check_name("s/in/10001A.ok");
  const NameCheck fail = check_name("s/in/10001A.fail");
  EXPECT_FALSE(table.remove(pair_name("s/in/10001A.ok", ok), NameKind::response, "s/in\\10001A.ok"))
      << "a path that is not there";
  ASSERT_EQ(table.records("s/", "10001A", 0).size(), 1U);
  EXPECT_EQ(table.records("s/", "10001A", 0)[0].state, PairState::conflict);
  EXPECT_TRUE(table.remove(pair_name("s/in/10001A.fail", fail), NameKind::response, "s/in/10001A.fail"));
  EXPECT_EQ(table.records("s/", "10001A", 0)[0].state, PairState::answered) << "the .fail gone, the .ok answers";
  EXPECT_TRUE(table.remove(pair_name("s/in/10001A.ok", ok), NameKind::response, "s/in/10001A.ok"));
  EXPECT_EQ(table.records("s/", "10001A", 0)[0].state, PairState::pending);
  const NameCheck command = check_name("s/out/10001A.cmd");
  EXPECT_TRUE(table.remove(pair_name("s/out/10001A.cmd", command), NameKind::command, "s/out/10001A.cmd"));
  EXPECT_TRUE(table.empty()) << "a stem with no file left is forgotten";
}

struct NumberRow {
  const char* text;
  std::optional<std::uint64_t> count;                // from 0 to 1000
  std::optional<std::chrono::milliseconds> duration;
};

TEST(InspectPure, Numbers) {
  using std::chrono::milliseconds;
  const std::optional<std::uint64_t> no_count;
  const std::optional<milliseconds> no_time;
  // clang-format off
  const NumberRow rows[] = {
    {"0",      0,        no_time},
    {"1000",   1000,     no_time},
    {"1001",   no_count, no_time},
    {"007",    7,        no_time},
    {"",       no_count, no_time},
    {"-1",     no_count, no_time},
    {"+1",     no_count, no_time},
    {" 1",     no_count, no_time},
    {"1 ",     no_count, no_time},
    {"1e3",    no_count, no_time},
    {"1.5",    no_count, no_time},
    {"0x10",   no_count, no_time},
    {"99999999999999999999", no_count, no_time},
    {"50ms",   no_count, milliseconds(50)},
    {"30s",    no_count, milliseconds(30'000)},
    {"5m",     no_count, milliseconds(300'000)},
    {"2h",     no_count, milliseconds(7'200'000)},
    {"1d",     no_count, milliseconds(86'400'000)},
    {"0s",     no_count, milliseconds(0)},
    {"s",      no_count, no_time},
    {"5x",     no_count, no_time},
    {"5S",     no_count, no_time},
    {"5sec",   no_count, no_time},
    {"106751991168d", no_count, no_time},
    {"106751991167d", no_count, milliseconds(106751991167LL * 86'400'000)},
  };
  // clang-format on
  for (const NumberRow& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(parse_count(row.text, 0, 1000), row.count);
    EXPECT_EQ(parse_duration(row.text), row.duration);
  }
}

// The progress line: none in a run's first half second, at most ten a
// second after it.
TEST(InspectPure, ProgressPace) {
  using std::chrono::milliseconds;
  const Progress::Clock::time_point start{};
  Progress progress(false, start);
  // Each row: when asked, in milliseconds after the start, and whether a
  // line is due then.
  const std::pair<int, bool> rows[] = {{0, false},   {499, false}, {500, true},  {550, false},
                                       {599, false}, {600, true},  {650, false}, {2000, true},
                                       {2001, false}, {2100, true}};
  for (const auto& [at, due] : rows) {
    SCOPED_TRACE(at);
    EXPECT_EQ(progress.due(start + milliseconds(at)), due);
  }
}

struct StatusRow {
  Summary files;
  std::optional<std::uint64_t> oldest_pending;  // seconds; none when no --pairs
  bool list_failed;
  std::uint64_t min_files;
  std::optional<std::chrono::milliseconds> max_pending;
  int status;
  const char* why;
};

TEST(InspectPure, RunStatus) {
  using std::chrono::milliseconds;
  const Summary clean{.files = 2, .valid = 2};
  const Summary bad{.files = 2, .valid = 1, .not_valid = 1};
  const Summary unopened{.files = 2, .valid = 1, .cannot_open = 1};
  const Summary missing{.files = 1, .valid = 1, .missing = 1};
  const std::optional<std::uint64_t> none;
  const std::optional<milliseconds> no_limit;
  // clang-format off
  const StatusRow rows[] = {
    {clean,    none, false, 0, no_limit,            0, "all valid"},
    {bad,      none, false, 0, no_limit,            4, "a file not valid"},
    {unopened, none, false, 0, no_limit,            3, "a file not opened"},
    {missing,  none, false, 0, no_limit,            3, "an operand that names nothing"},
    {clean,    none, true,  0, no_limit,            3, "the list could not be read"},
    {clean,    none, false, 3, no_limit,            3, "fewer files than --min-files"},
    {clean,    none, false, 2, no_limit,            0, "just enough files"},
    {missing,  none, false, 1, no_limit,            3, "the missing are no files judged"},
    {clean,    7201, false, 0, milliseconds(7'200'000), 5, "pending longer than --max-pending"},
    {clean,    7200, false, 0, milliseconds(7'200'000), 0, "pending exactly as long"},
    {clean,    7201, false, 0, no_limit,            0, "no --max-pending: pending is no failure"},
    {bad,      7201, false, 0, milliseconds(1),     4, "4 beats 5"},
    {unopened, 7201, false, 0, milliseconds(1),     3, "3 beats 5"},
  };
  // clang-format on
  for (const StatusRow& row : rows) {
    SCOPED_TRACE(row.why);
    PairSummary pairs;
    pairs.oldest_pending = row.oldest_pending;
    EXPECT_EQ(run_status({row.files, row.oldest_pending ? &pairs : nullptr, row.list_failed, row.min_files,
                          row.max_pending}),
              row.status);
  }
}

}  // namespace
// Where the reports of a run go: one line (or record) a file, one a pair,
// and the summary of the whole run. Text for people, JSON Lines for
// scripts and bare paths for other programs are sinks; the printers never
// read a file, they have only the reports.
#ifndef TARNWICK_INSPECT_PRINT_SINK_H
#define TARNWICK_INSPECT_PRINT_SINK_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "model/report.h"
#include "model/run_record.h"
#include "model/summary.h"
#include "model/watch_record.h"
#include "pairs/pair_record.h"

// The summary of a whole run.
struct RunSummary {
  const Summary& files;
  const PairSummary* pairs = nullptr;  // with --pairs
  RunStats stats;
  const RunRecord* run = nullptr;  // when, where and how the run ended
};

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void file(const FileReport& report) = 0;
  virtual void pair(const PairRecord& record) = 0;
  virtual void summary(const RunSummary& summary) = 0;
  // What the watch says of itself; a list of paths has no room for it.
  virtual void watch(const WatchRecord& /*record*/) {}
};

// Each appends its lines to `out`, which the caller writes out.
std::unique_ptr<Sink> text_sink(std::string& out);
// JSON records end in the operator's fixed fields, `labels`.
std::unique_ptr<Sink> json_sink(std::string& out, const Labels& labels = {});
// The same, with the moment each file, pair and watch record is written,
// from `now_ms` (milliseconds since 1970), in a "time" field: the watch's.
std::unique_ptr<Sink> json_sink(std::string& out, const Labels& labels,
                                std::function<std::int64_t()> now_ms);
// Says a line to the user, beside the report: on standard error.
using Say = std::function<void(std::string_view line)>;

// Paths alone, for -l: raw bytes, each ended by `end`, as another program
// takes them and acts on them; no pair and no summary. Only regular files:
// a failure that is no regular file (a folder that cannot be listed, a
// directory named like a file, an operand that names nothing) is said,
// as the text printer words it, with `say`.
std::unique_ptr<Sink> paths_sink(std::string& out, char end, Say say);

// What a run prints of what it finds. Files left out (excluded) are
// counted, never printed.
struct Filter {
  bool failures_only = false;  // -q, -l: files not valid, badly named or
                               // not opened, and pairs but those answered ok
  bool summary_only = false;   // --summary
};
std::unique_ptr<Sink> filtered(std::unique_ptr<Sink> sink, const Filter& filter);

// An age as a person reads it: its two largest units, "2h 14m", "42s".
std::string age_text(std::uint64_t seconds);

// Milliseconds as seconds, for records and metrics: "1765370000.125", "0.042".
std::string seconds_text(std::int64_t ms);
// Milliseconds since 1970 as RFC 3339 in UTC: "2026-12-10T12:19:16.042Z".
std::string utc_time_text(std::int64_t ms);

#endif

// The metrics of a run, in the Prometheus text format, for the textfile
// collector of node_exporter: what a fleet's monitoring scrapes and alerts
// on. Built from the run's summary, not from its reports.
#ifndef TARNWICK_INSPECT_PRINT_METRICS_H
#define TARNWICK_INSPECT_PRINT_METRICS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/run_record.h"
#include "model/summary.h"
#include "pairs/pair_record.h"

struct MetricsRun {
  const Summary& files;
  const PairSummary* pairs = nullptr;  // with --pairs
  const RunRecord& run;
  const Labels& labels;                // on every series
  // When the last run that ended 0 ended, in milliseconds since 1970: this
  // one, or the one the previous file names; none when no run has.
  std::optional<std::int64_t> last_success_ms;
};

// The whole file. Every metric has the same HELP and TYPE in every run,
// so that files from several runs on one host never conflict.
std::string metrics_text(const MetricsRun& run);

// When the last clean run ended, as a previous file of metrics_text says
// it; none when it says nothing that can be read.
std::optional<std::int64_t> last_success_in(std::string_view previous);

#endif

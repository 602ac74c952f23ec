// The metrics file of --metrics: replaced whole at the end of each run,
// keeping from the one it replaces when the last clean run ended.
#ifndef TARNWICK_INSPECT_APP_METRICS_FILE_H
#define TARNWICK_INSPECT_APP_METRICS_FILE_H

#include <cstdint>
#include <optional>
#include <string>

#include "model/report.h"
#include "model/run_record.h"
#include "model/summary.h"
#include "pairs/pair_record.h"

// When the last clean run ended, from the file that a run is to replace,
// read before the run starts: a run may write the file more than once.
std::optional<std::int64_t> last_success_before(const std::string& path);

// False, with the system's reason in `error`, when it cannot be written.
// `last_success` is what last_success_before said, for a run that fails.
bool write_metrics_file(const std::string& path, std::optional<std::int64_t> last_success,
                        const Summary& files, const PairSummary* pairs, const RunRecord& run,
                        const Labels& labels, SystemError& error);

#endif

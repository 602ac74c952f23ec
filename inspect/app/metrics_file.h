// The metrics file of --metrics: replaced whole at the end of each run,
// keeping from the one it replaces when the last clean run ended.
#ifndef TARNWICK_INSPECT_APP_METRICS_FILE_H
#define TARNWICK_INSPECT_APP_METRICS_FILE_H

#include <string>

#include "model/report.h"
#include "model/run_record.h"
#include "model/summary.h"
#include "pairs/pair_record.h"

// False, with the system's reason in `error`, when it cannot be written.
bool write_metrics_file(const std::string& path, const Summary& files, const PairSummary* pairs,
                        const RunRecord& run, const Labels& labels, SystemError& error);

#endif

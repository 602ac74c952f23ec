// The exit status of a run, decided in one place, so that what the run
// prints of it and what the process ends with agree.
#ifndef TARNWICK_INSPECT_APP_STATUS_H
#define TARNWICK_INSPECT_APP_STATUS_H

#include <chrono>
#include <cstdint>
#include <optional>

#include "model/summary.h"
#include "pairs/pair_record.h"

// The inspector's own status beyond the tool's five: a command has waited
// for its response longer than --max-pending allows.
inline constexpr int RC_PENDING_TOO_LONG = 5;

// What decides a run's status besides the files' verdicts.
struct RunEnd {
  const Summary& files;
  const PairSummary* pairs = nullptr;  // with --pairs
  bool list_failed = false;            // --files-from could not be read
  std::uint64_t min_files = 0;
  std::optional<std::chrono::milliseconds> max_pending;
};

// Whether fewer files were judged than --min-files asks.
bool too_few_files(const RunEnd& end);

// 3 when the list could not be read, too few files were judged, or
// anything could not be opened or listed, or names nothing; else 4 when
// anything is not valid or badly named; else 5 when a command has been
// pending longer than --max-pending; else 0.
int run_status(const RunEnd& end);

#endif

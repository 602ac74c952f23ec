// What a run says of itself, for the log pipelines and the monitoring that
// keep its records: when it ran, for how long, where, as which version,
// how it ended, and the fixed fields an operator adds (--label).
#ifndef TARNWICK_INSPECT_MODEL_RUN_RECORD_H
#define TARNWICK_INSPECT_MODEL_RUN_RECORD_H

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// KEY=VALUE, in the order given.
using Labels = std::vector<std::pair<std::string, std::string>>;

struct RunRecord {
  std::int64_t start_ms = 0;      // milliseconds since 1970, UTC
  std::uint64_t duration_ms = 0;
  std::string host;
  std::string_view version;
  int status = 0;                 // the exit status
  bool min_files_given = false;   // --min-files
  std::uint64_t min_files = 0;
  bool too_few_files = false;     // fewer files judged than --min-files
};

// Why a label's key is refused ("" when it is taken): a key is a lower
// case letter, then letters, digits and underscores, and no name a record
// or a metric already carries.
std::string_view label_key_fault(std::string_view key);

#endif

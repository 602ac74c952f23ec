#include "app/metrics_file.h"

#include <optional>

#include "platform/host.h"
#include "print/metrics.h"

bool write_metrics_file(const std::string& path, const Summary& files, const PairSummary* pairs,
                        const RunRecord& run, const Labels& labels, SystemError& error) {
  std::optional<std::int64_t> last_success;
  if (run.status == 0) {
    last_success = run.start_ms + static_cast<std::int64_t>(run.duration_ms);
  } else {
    std::string previous;
    if (read_small_file(path, std::size_t{1} << 20, previous)) last_success = last_success_in(previous);
  }
  return replace_file(path, metrics_text({files, pairs, run, labels, last_success}), error);
}

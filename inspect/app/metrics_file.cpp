#include "app/metrics_file.h"

#include <optional>

#include "platform/host.h"
#include "print/metrics.h"

std::optional<std::int64_t> last_success_before(const std::string& path) {
  std::string previous;
  if (!read_small_file(path, std::size_t{1} << 20, previous)) return std::nullopt;
  return last_success_in(previous);
}

bool write_metrics_file(const std::string& path, std::optional<std::int64_t> last_success,
                        const Summary& files, const PairSummary* pairs, const RunRecord& run,
                        const Labels& labels, SystemError& error) {
  if (run.status == 0) last_success = run.start_ms + static_cast<std::int64_t>(run.duration_ms);
  return replace_file(path, metrics_text({files, pairs, run, labels, last_success}), error);
}

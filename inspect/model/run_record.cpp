#include "model/run_record.h"

#include <algorithm>
#include <array>

namespace {

// The names the records and the metrics carry themselves.
constexpr auto TAKEN = std::to_array<std::string_view>({
    "age_s", "allowed", "answered", "command", "command_hex", "command_key", "commands",
    "conflict", "directory", "duration_s", "errno", "error", "excluded", "exists", "expected",
    "extension", "files", "form", "found", "head", "host", "instance", "job", "key", "kind", "le",
    "length", "min_files", "missing", "offset", "orphan", "other_found", "other_offset",
    "outcome", "path", "path_hex", "pending", "pending_by_age", "quantile", "response",
    "response_hex", "response_key", "rule", "rules", "same", "schema", "size", "skipped",
    "stale", "state", "status", "stem", "stem_length", "stop_byte", "stop_offset", "test",
    "tests", "time", "too_few_files", "type", "unknown", "valid", "vanished", "verdict",
    "version", "young"});

}  // namespace

std::string_view label_key_fault(std::string_view key) {
  if (key.empty() || key.front() < 'a' || key.front() > 'z')
    return "begins with a lower case letter";
  for (const char c : key)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
      return "holds only lower case letters, digits and underscores";
  if (std::find(TAKEN.begin(), TAKEN.end(), key) != TAKEN.end())
    return "is not a name the records or the metrics already carry";
  return {};
}

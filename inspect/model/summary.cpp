#include "model/summary.h"

void Summary::count(const FileReport& report) {
  if (report.missing) {
    ++missing;
    return;
  }
  switch (report.verdict) {
    case Verdict::valid: ++valid; break;
    case Verdict::bad_name: ++bad_name; break;
    case Verdict::cannot_open: ++cannot_open; break;
    case Verdict::not_valid: ++not_valid; break;
    case Verdict::skipped: ++skipped; return;
    case Verdict::vanished: ++vanished; return;
    case Verdict::excluded: ++excluded; return;
  }
  ++files;
  if (report.verdict == Verdict::not_valid)
    ++by_test[static_cast<std::size_t>(report.content.failed)];
  else if (report.verdict == Verdict::bad_name)
    ++by_rule[static_cast<std::size_t>(report.name.failed)];
}

bool is_failure(Verdict verdict) {
  return verdict == Verdict::not_valid || verdict == Verdict::bad_name ||
         verdict == Verdict::cannot_open;
}

ResultCode exit_status(const Summary& summary) {
  if (summary.cannot_open > 0 || summary.missing > 0) return RC_OTHER_PROBLEM;
  if (summary.not_valid > 0 || summary.bad_name > 0) return RC_NOT_VALID;
  return RC_SAME;
}


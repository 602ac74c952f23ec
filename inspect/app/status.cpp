#include "app/status.h"

bool too_few_files(const RunEnd& end) { return end.files.files < end.min_files; }

int run_status(const RunEnd& end) {
  if (end.list_failed || too_few_files(end)) return RC_OTHER_PROBLEM;
  const ResultCode files = exit_status(end.files);
  if (files != RC_SAME) return files;
  if (end.max_pending && end.pairs != nullptr && end.pairs->oldest_pending &&
      std::chrono::seconds(*end.pairs->oldest_pending) > *end.max_pending)
    return RC_PENDING_TOO_LONG;
  return RC_SAME;
}

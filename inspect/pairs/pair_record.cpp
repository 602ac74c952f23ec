#include "pairs/pair_record.h"

std::string_view state_name(PairState state) {
  switch (state) {
    case PairState::answered: return "answered";
    case PairState::stale: return "stale";
    case PairState::same: return "same";
    case PairState::pending: return "pending";
    case PairState::conflict: return "conflict";
    case PairState::bad_response: return "bad-response";
    case PairState::bad_command: return "bad-command";
    case PairState::young: return "young";
    case PairState::unknown: return "unknown";
    case PairState::orphan: break;
  }
  return "orphan";
}

std::size_t age_bucket(std::uint64_t seconds) {
  std::size_t bucket = 0;
  while (bucket < AGE_BOUNDS.size() && seconds >= AGE_BOUNDS[bucket]) ++bucket;
  return bucket;
}

void PairSummary::count(const PairRecord& record) {
  ++states[static_cast<std::size_t>(record.state)];
  if (record.state != PairState::orphan) ++commands;
  if (record.state == PairState::answered) ++(record.outcome == "fail" ? answered_fail : answered_ok);
  if (record.state == PairState::pending) {
    const std::uint64_t age = record.age.value_or(0);
    ++pending_by_age[age_bucket(age)];
    pending_age_sum += age;
    for (std::size_t i = 0; i < AGE_BOUNDS.size(); ++i)
      if (age <= AGE_BOUNDS[i]) ++pending_at_most[i];
    if (!oldest_pending || age > *oldest_pending) oldest_pending = age;
  }
}

#include "pairs/live_queue.h"

#include <algorithm>

namespace {

bool still_waiting(PairState state) { return state == PairState::pending || state == PairState::young; }

}  // namespace

void LiveQueue::take(const PairRecord& record, const std::string& common, const std::string& stem,
                     std::int64_t now, std::vector<PairRecord>* out) {
  const auto known = waiting_.find(record.command);
  if (out != nullptr && (known == waiting_.end() || known->second.said != record.state)) out->push_back(record);
  if (still_waiting(record.state)) {
    Waiting& w = waiting_[record.command];
    w.said = record.state;
    w.common = common;
    w.stem = stem;
    w.since = record.age ? std::optional<std::int64_t>(now - static_cast<std::int64_t>(*record.age)) : std::nullopt;
    return;
  }
  if (known != waiting_.end()) waiting_.erase(known);
}

void LiveQueue::update(const FileReport& report, std::int64_t now, std::vector<PairRecord>* out) {
  if (!takes_part(report)) return;
  const PairName name = pair_name(report.path, report.name);
  const NameKind kind = report.name.kind;
  const std::string common(name.common), stem(name.stem);
  // A command judged again replaces what was known of it.
  if (kind == NameKind::command) table_.remove(name, kind, report.path);
  table_.add(name, kind, side_of(report));
  for (const PairRecord& record : table_.records(common, stem, now, spool_)) {
    if (record.command.empty()) {
      if (out != nullptr) out->push_back(record);  // a response with no command
      continue;
    }
    take(record, common, stem, now, out);
    if (!still_waiting(record.state)) table_.remove(name, NameKind::command, record.command);
  }
  // Responses are not kept: the disk answers for them.
  if (kind != NameKind::command) table_.remove(name, kind, report.path);
}

void LiveQueue::said(const PairRecord& record, std::int64_t now) {
  const auto place = waiting_.find(record.command);
  if (place == waiting_.end()) return;
  Waiting& w = place->second;
  if (!still_waiting(record.state)) {
    const PairName name{w.common, w.stem, ResponseOutcome::ok};
    table_.remove(name, NameKind::command, record.command);
    waiting_.erase(place);
    return;
  }
  w.said = record.state;
  if (record.age) w.since = now - static_cast<std::int64_t>(*record.age);
  if (pending_after_ && record.age && static_cast<std::int64_t>(*record.age) >= *pending_after_)
    w.overdue_said = true;
}

void LiveQueue::gone(const std::string& path) {
  const auto place = waiting_.find(path);
  if (place == waiting_.end()) return;
  const PairName name{place->second.common, place->second.stem, ResponseOutcome::ok};
  table_.remove(name, NameKind::command, path);
  waiting_.erase(place);
}

void LiveQueue::overdue(std::int64_t now, std::vector<PairRecord>& out) {
  if (!pending_after_) return;
  for (auto& [path, w] : waiting_) {
    if (w.overdue_said || w.said != PairState::pending || !w.since || now - *w.since < *pending_after_) continue;
    w.overdue_said = true;
    for (const PairRecord& record : table_.records(w.common, w.stem, now, spool_))
      if (record.command == path && record.state == PairState::pending) out.push_back(record);
  }
}

std::optional<std::int64_t> LiveQueue::next_alarm() const {
  std::optional<std::int64_t> next;
  if (!pending_after_) return next;
  for (const auto& [path, w] : waiting_)
    if (!w.overdue_said && w.said == PairState::pending && w.since)
      next = std::min(next.value_or(*w.since + *pending_after_), *w.since + *pending_after_);
  return next;
}

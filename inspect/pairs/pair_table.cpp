#include "pairs/pair_table.h"

#include <algorithm>
#include <utility>

bool takes_part(const FileReport& report) {
  return report.name.kind != NameKind::rejected && report.verdict != Verdict::skipped &&
         report.verdict != Verdict::bad_name && report.verdict != Verdict::vanished &&
         report.verdict != Verdict::excluded;
}

PairSide side_of(const FileReport& report) {
  PairSide side;
  side.path = report.path;
  side.verdict = report.verdict;
  side.outcome = pair_name(report.path, report.name).outcome;
  if (report.verdict == Verdict::valid)
    side.key = timestamp_key(report.read.checked().start, report.content);
  if (report.read.dated) side.modified = report.read.modified;
  return side;
}

PairRecord decide(const PairSide& command, const PairSide* ok,
                  const PairSide* fail, std::int64_t now) {
  PairRecord record;
  record.command = command.path;
  record.command_key = command.key;
  if (ok != nullptr && fail != nullptr) {
    record.state = PairState::conflict;
    record.response = ok->path;
    record.response_key = ok->key;
    record.other_response = fail->path;
    return record;
  }
  const PairSide* response = ok != nullptr ? ok : fail;
  if (response == nullptr) {
    record.state = PairState::pending;
    // A change stamped in the future, from another machine's clock, is
    // taken as just now.
    if (command.modified)
      record.age = static_cast<std::uint64_t>(std::max<std::int64_t>(0, now - *command.modified));
    return record;
  }
  record.response = response->path;
  record.response_key = response->key;
  const bool response_opens = response->verdict != Verdict::cannot_open;
  const bool command_opens = command.verdict != Verdict::cannot_open;
  if (!response_opens || (command_opens && !response->key))
    record.state = PairState::bad_response;
  else if (!command_opens || !command.key)
    record.state = PairState::bad_command;
  else if (*response->key > *command.key)  // unsigned bytes, from the first
    record.state = PairState::answered;
  else if (*response->key < *command.key)
    record.state = PairState::stale;
  else
    record.state = PairState::same;
  if (record.state == PairState::answered) record.outcome = outcome_name(response->outcome);
  return record;
}

void PairTable::add(const PairName& name, NameKind kind, PairSide side) {
  auto folder = folders_.find(name.common);
  if (folder == folders_.end()) folder = folders_.emplace(std::string(name.common), Folder{}).first;
  auto slot = folder->second.find(name.stem);
  if (slot == folder->second.end()) slot = folder->second.emplace(std::string(name.stem), Slot{}).first;
  if (kind == NameKind::command)
    slot->second.commands.push_back(std::move(side));
  else
    (side.outcome == ResponseOutcome::fail ? slot->second.fail : slot->second.ok) = std::move(side);
}

bool PairTable::remove(const PairName& name, NameKind kind, std::string_view path) {
  const auto folder = folders_.find(name.common);
  if (folder == folders_.end()) return false;
  const auto slot = folder->second.find(name.stem);
  if (slot == folder->second.end()) return false;
  Slot& s = slot->second;
  bool removed = false;
  if (kind == NameKind::command) {
    const auto gone = std::remove_if(s.commands.begin(), s.commands.end(),
                                     [&](const PairSide& side) { return side.path == path; });
    removed = gone != s.commands.end();
    s.commands.erase(gone, s.commands.end());
  } else {
    for (std::optional<PairSide>* response : {&s.ok, &s.fail}) {
      if (*response && (*response)->path == path) {
        response->reset();
        removed = true;
      }
    }
  }
  if (s.commands.empty() && !s.ok && !s.fail) folder->second.erase(slot);
  if (folder->second.empty()) folders_.erase(folder);
  return removed;
}

void PairTable::records_of(const Slot& slot, std::int64_t now, std::vector<PairRecord>& out) {
  const PairSide* ok = slot.ok ? &*slot.ok : nullptr;
  const PairSide* fail = slot.fail ? &*slot.fail : nullptr;
  if (slot.commands.empty()) {
    for (const PairSide* response : {ok, fail}) {
      if (response == nullptr) continue;
      PairRecord record;
      record.state = PairState::orphan;
      record.response = response->path;
      record.response_key = response->key;
      out.push_back(std::move(record));
    }
    return;
  }
  for (const PairSide& command : slot.commands) out.push_back(decide(command, ok, fail, now));
}

void PairTable::take_folder(std::string_view common, std::int64_t now,
                            std::vector<PairRecord>& out) {
  const auto folder = folders_.find(common);
  if (folder == folders_.end()) return;
  for (const auto& [stem, slot] : folder->second) records_of(slot, now, out);
  folders_.erase(folder);
}

std::vector<PairRecord> PairTable::records(std::string_view common, std::string_view stem,
                                           std::int64_t now) const {
  std::vector<PairRecord> out;
  const auto folder = folders_.find(common);
  if (folder == folders_.end()) return out;
  const auto slot = folder->second.find(stem);
  if (slot != folder->second.end()) records_of(slot->second, now, out);
  return out;
}

#include "pairs/pair_table.h"

#include <algorithm>
#include <utility>

bool takes_part(const FileReport& report) {
  if (report.name.kind == NameKind::rejected || report.missing) return false;
  switch (report.verdict) {
    case Verdict::valid:
    case Verdict::not_valid:
    case Verdict::cannot_open:
    case Verdict::vanished:
      return true;
    case Verdict::skipped:
      return report.kind == EntryKind::young;
    case Verdict::bad_name:
    case Verdict::excluded:
      break;
  }
  return false;
}

PairSide side_of(const FileReport& report) {
  PairSide side;
  side.path = report.path;
  side.verdict = report.verdict;
  side.outcome = pair_name(report.path, report.name).outcome;
  side.young = report.verdict == Verdict::skipped && report.kind == EntryKind::young;
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
  // A writer may still be at either file: not judged, and no age alarm.
  if (command.young) {
    record.state = PairState::young;
    return record;
  }
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
  if (response->young) {
    record.state = PairState::young;
    return record;
  }
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
  Slot& s = slot->second;
  if (side.verdict == Verdict::vanished)
    (kind == NameKind::command ? s.command_gone : s.response_gone) = true;
  else if (kind == NameKind::command)
    s.commands.push_back(std::move(side));
  else
    (side.outcome == ResponseOutcome::fail ? s.fail : s.ok) = std::move(side);
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
  if (s.commands.empty() && !s.ok && !s.fail && !s.command_gone && !s.response_gone)
    folder->second.erase(slot);
  if (folder->second.empty()) folders_.erase(folder);
  return removed;
}

namespace {

// The path of a stem's file in the folder of `kind`, spelled with the
// separator of the file of the pair that is known.
std::string partner_path(std::string_view common, std::string_view stem, NameKind kind,
                         char separator, std::string_view extension) {
  std::string path(common);
  path += folder_end(kind);
  path += separator;
  path += stem;
  path += extension;
  return path;
}

PairRecord unknown_pair(const PairSide& command, const SystemError& error) {
  PairRecord record;
  record.state = PairState::unknown;
  record.command = command.path;
  record.command_key = command.key;
  record.error = error;
  return record;
}

// The separator before a file's name, which the naming rule has seen to.
char separator_of(const std::string& path) {
  for (std::size_t at = path.size(); at-- > 0;)
    if (is_path_separator(path[at])) return path[at];
  return '/';
}

}  // namespace

void PairTable::records_of(std::string_view common, std::string_view stem, const Slot& slot,
                           std::int64_t now, Spool* spool, std::vector<PairRecord>& out,
                           std::vector<Held>* held) {
  std::optional<PairSide> ok = slot.ok, fail = slot.fail;
  if (slot.commands.empty()) {
    // A response whose command the walk saw go is being taken by its
    // consumer; one whose command is on disk, though not walked, is no
    // orphan.
    if (slot.command_gone || (!ok && !fail)) return;
    const PairSide& any = ok ? *ok : *fail;
    if (spool != nullptr &&
        spool->there(partner_path(common, stem, NameKind::command, separator_of(any.path),
                                  COMMAND_EXTENSIONS[0])))
      return;
    for (const std::optional<PairSide>* response : {&ok, &fail}) {
      if (!*response) continue;
      PairRecord record;
      record.state = PairState::orphan;
      record.response = (*response)->path;
      record.response_key = (*response)->key;
      out.push_back(std::move(record));
    }
    return;
  }
  std::optional<SystemError> unknown;
  std::string paths[2];  // the response's, .ok and .fail
  if (!ok && !fail && spool != nullptr) {
    // The walk saw the response go: a consumer is taking the pair.
    if (slot.response_gone) return;
    const char separator = separator_of(slot.commands.front().path);
    for (std::optional<PairSide>* response : {&ok, &fail}) {
      const std::size_t which = response == &ok ? 0 : 1;
      paths[which] = partner_path(common, stem, NameKind::response, separator, RESPONSE_EXTENSIONS[which]);
      Spool::Look look = spool->look(paths[which]);
      if (look.is == Spool::Look::Is::there)
        *response = side_of(look.report);
      else if (look.is == Spool::Look::Is::unknown)
        unknown = std::move(look.error);
    }
  }
  for (const PairSide& command : slot.commands) {
    if (!ok && !fail && spool != nullptr) {
      if (unknown) {
        out.push_back(unknown_pair(command, *unknown));
        continue;
      }
      // Gone by now, as its consumer took it: no record.
      if (!spool->there(command.path)) continue;
      // Its response may have just been taken, the command next.
      if (held != nullptr && !spool->still(std::string(common) + std::string(folder_end(NameKind::response)))) {
        held->push_back({command, paths[0], paths[1]});
        continue;
      }
    }
    out.push_back(decide(command, ok ? &*ok : nullptr, fail ? &*fail : nullptr, now));
  }
}

void PairTable::take_held(std::int64_t now, Spool* spool, std::vector<PairRecord>& out) {
  if (held_.empty()) return;
  spool->wait_until_still();
  for (const Held& h : held_) {
    std::optional<PairSide> responses[2];
    std::optional<SystemError> unknown;
    for (std::size_t which = 0; which < 2; ++which) {
      Spool::Look look = spool->look(which == 0 ? h.ok : h.fail);
      if (look.is == Spool::Look::Is::there)
        responses[which] = side_of(look.report);
      else if (look.is == Spool::Look::Is::unknown)
        unknown = std::move(look.error);
    }
    const bool answered = responses[0] || responses[1];
    if (!answered && unknown) {
      out.push_back(unknown_pair(h.command, *unknown));
      continue;
    }
    if (!answered && !spool->there(h.command.path)) continue;
    out.push_back(decide(h.command, responses[0] ? &*responses[0] : nullptr,
                         responses[1] ? &*responses[1] : nullptr, now));
  }
  held_.clear();
}

void PairTable::take_folder(std::string_view common, std::int64_t now, Spool* spool,
                            std::vector<PairRecord>& out) {
  const auto folder = folders_.find(common);
  if (folder == folders_.end()) return;
  for (const auto& [stem, slot] : folder->second)
    records_of(common, stem, slot, now, spool, out, &held_);
  folders_.erase(folder);
}

std::vector<PairRecord> PairTable::records(std::string_view common, std::string_view stem,
                                           std::int64_t now, Spool* spool) const {
  std::vector<PairRecord> out;
  const auto folder = folders_.find(common);
  if (folder == folders_.end()) return out;
  const auto slot = folder->second.find(stem);
  if (slot != folder->second.end()) records_of(common, stem, slot->second, now, spool, out, nullptr);
  return out;
}

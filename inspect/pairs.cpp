#include "pairs.h"

#include <algorithm>
#include <utility>

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

constexpr std::string_view IN = "in";
constexpr std::string_view OUT = "out";

}  // namespace

std::string_view state_name(PairState state) {
  switch (state) {
    case PairState::answered: return "answered";
    case PairState::stale: return "stale";
    case PairState::same: return "same";
    case PairState::pending: return "pending";
    case PairState::conflict: return "conflict";
    case PairState::bad_response: return "bad-response";
    case PairState::bad_command: return "bad-command";
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
  if (record.state == PairState::pending)
    ++pending_by_age[age_bucket(record.age.value_or(0))];
}

// A walk gives a folder's entries, subfolders and all, between the folder
// X…in and X…out, which sort in that order among their siblings: the walk
// has left the pair when it gives a path outside that span.
bool Pairing::Group::holds(std::string_view path) const {
  const std::string_view parent(common.data(), parent_size);
  if (!path.starts_with(parent)) return false;
  std::string_view child = path.substr(parent_size);
  child = child.substr(0, static_cast<std::size_t>(
                              std::find_if(child.begin(), child.end(), is_separator) -
                              child.begin()));
  const std::string_view name = std::string_view(common).substr(parent_size);
  const std::string first = std::string(name) + std::string(IN);
  const std::string last = std::string(name) + std::string(OUT);
  return child >= first && child <= last;
}

void Pairing::add(const FileReport& report, std::vector<PairRecord>& out) {
  for (std::size_t i = open_.size(); i-- > 0;) {
    if (open_[i].holds(report.path)) continue;
    close(open_[i], out);
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  // Only files that pass the naming rule, and that were judged, take part:
  // a file gone before it was opened, or left out, is not there.
  const NameKind kind = report.name.kind;
  if (kind == NameKind::rejected || report.verdict == Verdict::skipped ||
      report.verdict == Verdict::bad_name ||
      report.verdict == Verdict::vanished ||
      report.verdict == Verdict::excluded)
    return;
  Side side;
  side.path = report.path;
  side.verdict = report.verdict;
  const std::size_t base = report.name.base;
  side.stem = report.path.substr(base, report.name.stem);
  side.fail = kind == NameKind::response &&
              report.path.compare(base + report.name.stem,
                                  std::string::npos, ".fail") == 0;
  if (report.verdict == Verdict::valid)
    side.key = timestamp_key(report.read.checked().start, report.content);
  if (report.read.dated) side.modified = report.read.modified;

  // The folder without its separator and without "in" or "out": the naming
  // rule has seen to it that the folder ends so.
  const std::size_t folder_end = base - 1;
  const std::string common = report.path.substr(
      0, folder_end - (kind == NameKind::response ? IN.size() : OUT.size()));
  auto group = std::find_if(open_.rbegin(), open_.rend(),
                            [&](const Group& g) { return g.common == common; });
  if (group == open_.rend()) {
    const auto parent_end = std::find_if(common.rbegin(), common.rend(), is_separator);
    open_.push_back({common,
                     static_cast<std::size_t>(common.rend() - parent_end), {}, {}});
    group = open_.rbegin();
  }
  (kind == NameKind::response ? group->responses : group->commands)
      .push_back(std::move(side));
}

void Pairing::finish(std::vector<PairRecord>& out) {
  for (std::size_t i = open_.size(); i-- > 0;) close(open_[i], out);
  open_.clear();
}

// As the tool decides `tarnwick RESPONSE COMMAND`: both files must open,
// then the response must be valid, then the command; then the keys decide.
PairRecord Pairing::judge(const Side& command, const Side* ok,
                          const Side* fail) const {
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
  const Side* response = ok != nullptr ? ok : fail;
  if (response == nullptr) {
    record.state = PairState::pending;
    // A change stamped in the future, from another machine's clock, is
    // taken as just now.
    if (command.modified)
      record.age = static_cast<std::uint64_t>(std::max<std::int64_t>(0, now_ - *command.modified));
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
  if (record.state == PairState::answered)
    record.outcome = response->fail ? "fail" : "ok";
  return record;
}

void Pairing::close(Group& group, std::vector<PairRecord>& out) const {
  const auto by_stem = [](const Side& a, const Side& b) {
    return a.stem != b.stem ? a.stem < b.stem : a.fail < b.fail;
  };
  std::stable_sort(group.commands.begin(), group.commands.end(), by_stem);
  std::stable_sort(group.responses.begin(), group.responses.end(), by_stem);
  auto command = group.commands.begin();
  auto response = group.responses.begin();
  // Stem by stem, in order: the commands with their responses, or the
  // responses that no command has.
  while (command != group.commands.end() || response != group.responses.end()) {
    const std::string& stem =
        command == group.commands.end() ? response->stem
        : response == group.responses.end() || command->stem <= response->stem
            ? command->stem
            : response->stem;
    const Side* ok = nullptr;
    const Side* fail = nullptr;
    const auto first_response = response;
    // The same file named twice counts once.
    for (; response != group.responses.end() && response->stem == stem; ++response)
      (response->fail ? fail : ok) = &*response;
    if (command == group.commands.end() || command->stem != stem) {
      for (auto r = first_response; r != response; ++r) {
        if (&*r != ok && &*r != fail) continue;
        PairRecord record;
        record.state = PairState::orphan;
        record.response = r->path;
        record.response_key = r->key;
        out.push_back(std::move(record));
      }
      continue;
    }
    for (; command != group.commands.end() && command->stem == stem; ++command)
      out.push_back(judge(*command, ok, fail));
  }
  group.commands.clear();
  group.responses.clear();
}

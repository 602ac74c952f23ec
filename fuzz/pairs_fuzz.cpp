// A sequence of files added to and taken out of the pairs table, two bytes
// an operation: which file of two folder pairs and two stems, and what it
// was found to be. Every command left gets exactly one record and every
// lone response one orphan, each decided as a model that looks only at the
// final set decides; and the final set given in another order to a new
// table gives the same records.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "pairs/pair_table.h"

namespace {

void require(bool property) {
  if (!property) std::abort();
}

constexpr std::int64_t NOW = 1000;
const char* const COMMONS[] = {"a/", "b/x/"};
const char* const STEMS[] = {"10001A", "20002A678"};
const char* const ENDS[] = {"out/", "in/", "in/"};
const char* const EXTENSIONS[] = {".cmd", ".ok", ".fail"};

std::string path_of(std::size_t common, std::size_t stem, std::size_t which) {
  return std::string(COMMONS[common]) + ENDS[which] + STEMS[stem] + EXTENSIONS[which];
}

// What the second byte of an add says of the file.
PairSide side_from(const std::string& path, std::uint8_t b) {
  PairSide side;
  side.path = path;
  side.outcome = path.ends_with(".fail") ? ResponseOutcome::fail : ResponseOutcome::ok;
  side.modified = NOW - 100 + (b >> 4) * 20;  // some in the future
  switch (b & 7) {
    case 0: case 1: case 2:
      side.verdict = Verdict::valid;
      side.key = TimestampKey{0x20, 0x26, 0x01, 0x01, 0x00, static_cast<unsigned char>(b & 7)};
      break;
    case 3: side.verdict = Verdict::not_valid; break;
    case 4: side.verdict = Verdict::cannot_open; break;
    case 5: side.verdict = Verdict::skipped; side.young = true; break;
    default: side.verdict = Verdict::vanished;
  }
  return side;
}

struct Slot {
  std::vector<PairSide> commands;
  std::optional<PairSide> responses[2];  // .ok, .fail
  bool gone[2] = {false, false};         // a command, a response seen go
};

// The record the tool's order of checks gives: the command's writer first,
// then two responses, then none; then the response's writer; then whether
// each file opens, the response before the command, and is valid; then
// the keys.
std::string model_record(const PairSide& c, const Slot& s) {
  const PairSide* ok = s.responses[0] ? &*s.responses[0] : nullptr;
  const PairSide* fail = s.responses[1] ? &*s.responses[1] : nullptr;
  std::string line = c.path + " ";
  if (c.young) return line + "young";
  if (ok && fail) return line + "conflict " + ok->path;
  const PairSide* r = ok ? ok : fail;
  if (!r) return line + "pending age " + std::to_string(std::max<std::int64_t>(0, NOW - *c.modified));
  line += r->path + " ";
  if (r->young) return line + "young";
  if (r->verdict == Verdict::cannot_open) return line + "bad-response";
  if (c.verdict == Verdict::cannot_open) return line + "bad-command";
  if (!r->key) return line + "bad-response";
  if (!c.key) return line + "bad-command";
  const unsigned char mine = (*c.key)[5], theirs = (*r->key)[5];
  if (theirs == mine) return line + "same";
  if (theirs < mine) return line + "stale";
  return line + "answered " + (r == ok ? "ok" : "fail");
}

std::string record_line(const PairRecord& r) {
  if (r.state == PairState::orphan) return "orphan " + r.response;
  std::string line = r.command + " ";
  if (r.state == PairState::young) return line + (r.response.empty() ? "" : r.response + " ") + "young";
  if (r.state == PairState::conflict) return line + "conflict " + r.response;
  if (r.state == PairState::pending) return line + "pending age " + std::to_string(*r.age);
  line += r.response + " " + std::string(state_name(r.state));
  if (!r.outcome.empty()) line += " " + std::string(r.outcome);
  return line;
}

std::vector<std::string> taken(PairTable& table) {
  std::vector<PairRecord> records;
  for (const char* common : COMMONS) table.take_folder(common, NOW, nullptr, records);
  require(table.empty());
  std::vector<std::string> lines;
  for (const PairRecord& r : records) lines.push_back(record_line(r));
  std::sort(lines.begin(), lines.end());
  return lines;
}

void add(PairTable& table, const PairSide& side) {
  const NameCheck check = check_name(side.path);
  require(check.kind != NameKind::rejected);
  table.add(pair_name(side.path, check), check.kind, side);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PairTable table;
  std::map<std::pair<std::size_t, std::size_t>, Slot> model;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint8_t op = data[i];
    const std::size_t common = op & 1, stem = (op >> 1) & 1, which = ((op >> 2) & 3) % 3;
    const std::string path = path_of(common, stem, which);
    Slot& slot = model[{common, stem}];
    const NameCheck check = check_name(path);
    if ((op & 0x10) != 0) {  // taken out
      const bool removed = table.remove(pair_name(path, check), check.kind, path);
      bool held = false;
      if (which == 0) {
        held = !slot.commands.empty();
        slot.commands.clear();
      } else {
        held = slot.responses[which - 1].has_value();
        slot.responses[which - 1].reset();
      }
      require(removed == held);
      continue;
    }
    const PairSide side = side_from(path, data[i + 1]);
    add(table, side);
    if (side.verdict == Verdict::vanished)
      slot.gone[which == 0 ? 0 : 1] = true;
    else if (which == 0)
      slot.commands.push_back(side);
    else
      slot.responses[which - 1] = side;
  }

  // From the final set alone.
  std::vector<std::string> expected;
  std::size_t commands = 0;
  for (const auto& [place, slot] : model) {
    commands += slot.commands.size();
    for (const PairSide& c : slot.commands) expected.push_back(model_record(c, slot));
    if (slot.commands.empty() && !slot.gone[0])
      for (const auto& r : slot.responses)
        if (r) expected.push_back("orphan " + r->path);
  }
  std::sort(expected.begin(), expected.end());

  // The same set, in the other order, to a new table.
  PairTable again;
  for (auto place = model.rbegin(); place != model.rend(); ++place) {
    const Slot& slot = place->second;
    for (std::size_t which = 2; which-- > 0;) {
      if (slot.responses[which]) add(again, *slot.responses[which]);
      if (slot.gone[which]) {
        PairSide gone = side_from(path_of(place->first.first, place->first.second, which), 6);
        add(again, gone);
      }
    }
    for (auto c = slot.commands.rbegin(); c != slot.commands.rend(); ++c) add(again, *c);
  }

  const std::vector<std::string> records = taken(table);
  std::size_t command_records = 0;
  for (const std::string& line : records) command_records += line.starts_with("orphan ") ? 0 : 1;
  require(command_records == commands);
  require(records == expected);
  require(taken(again) == expected);
  return 0;
}

// Which commands are answered: every command file paired with the response
// that has its serial stem in the partner folder, and every response that
// has no command, decided from the file reports as the tool would decide
// `tarnwick RESPONSE COMMAND`. Pure: reports in, records out.
//
// The partner of a folder whose name ends in "out" is its sibling whose
// name ends in "in" instead: spool/out/ and spool/in/, checkout/ and
// checkin/. The partner of D/out/S.cmd is D/in/S.ok or D/in/S.fail, with
// the same stem S, byte for byte. Folders are matched by their paths as
// the reports give them.
#ifndef TARNWICK_INSPECT_PAIRS_H
#define TARNWICK_INSPECT_PAIRS_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report.h"

enum class PairState {
  answered,      // one valid response, newer than the command: the tool says 1
  stale,         // one valid response, older: it answers an earlier command
  same,          // one valid response with the command's own key: the tool says 0
  pending,       // no response
  conflict,      // both S.ok and S.fail
  bad_response,  // the response is not valid, or cannot be opened
  bad_command,   // the command is not valid, or cannot be opened
  orphan,        // a response with no command
};

// "answered", "stale", ..., "bad-response", as records name them.
std::string_view state_name(PairState state);

struct PairRecord {
  PairState state = PairState::pending;
  std::string command;         // empty for an orphan
  std::string response;        // empty when pending; the .ok in a conflict
  std::string other_response;  // the .fail in a conflict
  std::optional<TimestampKey> command_key;   // when the command is valid
  std::optional<TimestampKey> response_key;  // when the response is valid
  std::string_view outcome;    // "ok" or "fail" when answered, else empty
  std::optional<std::uint64_t> age;  // pending: seconds since its last change
};

// Pending commands by age, as a queue's shape: under each bound, and older.
inline constexpr std::array<std::uint64_t, 4> AGE_BOUNDS = {60, 600, 3600, 86400};
inline constexpr std::array<std::string_view, AGE_BOUNDS.size() + 1> AGE_NAMES = {
    "under_1m", "under_10m", "under_1h", "under_1d", "older"};
std::size_t age_bucket(std::uint64_t seconds);

struct PairSummary {
  std::uint64_t commands = 0;  // every record but the orphans
  std::array<std::uint64_t, 8> states{};  // by PairState
  std::array<std::uint64_t, AGE_NAMES.size()> pending_by_age{};

  void count(const PairRecord& record);
  std::uint64_t of(PairState state) const {
    return states[static_cast<std::size_t>(state)];
  }
};

// Joins the reports of a walk, in its order, into pair records. A folder
// and its partner are held until the walk has left both, so memory is
// bounded by the largest pair of folders, not by the tree. Files named one
// by one, or in a list, pair as they would in a walk when they come in a
// walk's order.
class Pairing {
 public:
  // `now`: seconds since 1970, against which ages are taken.
  explicit Pairing(std::int64_t now) : now_(now) {}

  // Takes the next report. The records of the folders that the walk has
  // left by then are appended to `out` first: they belong before the
  // report's own line.
  void add(const FileReport& report, std::vector<PairRecord>& out);
  // The records of the folders still held, at the end of the walk.
  void finish(std::vector<PairRecord>& out);

 private:
  struct Side {
    std::string stem;
    std::string path;
    Verdict verdict;
    std::optional<TimestampKey> key;
    std::optional<std::int64_t> modified;
    bool fail = false;  // a response ending in .fail
  };
  // A command folder and its partner, by their common path: spool/ for
  // spool/out and spool/in.
  struct Group {
    std::string common;
    std::size_t parent_size;  // the part of `common` up to its last separator
    std::vector<Side> commands;
    std::vector<Side> responses;
    bool holds(std::string_view path) const;
  };
  void close(Group& group, std::vector<PairRecord>& out) const;
  PairRecord judge(const Side& command, const Side* ok,
                   const Side* fail) const;

  std::int64_t now_;
  std::vector<Group> open_;  // innermost last
};

#endif

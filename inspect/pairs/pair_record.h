// What the inspector says of a command and its response: the state of the
// pair, decided as the tool decides `tarnwick RESPONSE COMMAND`, and the
// counts of a run's pairs.
#ifndef TARNWICK_INSPECT_PAIRS_PAIR_RECORD_H
#define TARNWICK_INSPECT_PAIRS_PAIR_RECORD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/report.h"
#include "vardek_rules.h"

enum class PairState {
  answered,      // one valid response, newer than the command: the tool says 1
  stale,         // one valid response, older: it answers an earlier command
  same,          // one valid response with the command's own key: the tool says 0
  pending,       // no response
  conflict,      // both S.ok and S.fail
  bad_response,  // the response is not valid, or cannot be opened
  bad_command,   // the command is not valid, or cannot be opened
  young,         // the command or its response changed within --min-age:
                 // not judged yet
  unknown,       // the response's folder cannot be looked in
  orphan,        // a response with no command
};
inline constexpr std::size_t PAIR_STATES = static_cast<std::size_t>(PairState::orphan) + 1;

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
  SystemError error;           // unknown: why nobody can say
};

// Pending commands by age, as a queue's shape: under each bound, and older.
inline constexpr std::array<std::uint64_t, 4> AGE_BOUNDS = {60, 600, 3600, 86400};
inline constexpr std::array<std::string_view, AGE_BOUNDS.size() + 1> AGE_NAMES = {
    "under_1m", "under_10m", "under_1h", "under_1d", "older"};
std::size_t age_bucket(std::uint64_t seconds);

struct PairSummary {
  std::uint64_t commands = 0;  // every record but the orphans
  std::array<std::uint64_t, PAIR_STATES> states{};  // by PairState
  std::uint64_t answered_ok = 0, answered_fail = 0;  // the answered, by outcome
  std::array<std::uint64_t, AGE_NAMES.size()> pending_by_age{};
  std::optional<std::uint64_t> oldest_pending;  // seconds, when any is pending
  std::uint64_t pending_age_sum = 0;            // seconds, of every pending command
  // Pending commands at most each bound old, as a histogram counts them
  // (under_1m above counts those younger than 60 s; this, 60 s and less).
  std::array<std::uint64_t, AGE_BOUNDS.size()> pending_at_most{};

  void count(const PairRecord& record);
  std::uint64_t of(PairState state) const {
    return states[static_cast<std::size_t>(state)];
  }
};

#endif

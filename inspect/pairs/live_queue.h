// The pairs of a watch, as a live queue: the commands still waiting for
// their response, each with the state last said of it. A file judged by
// the watch gives the records of the pairs whose state it changes; a
// command answered, or decided otherwise, is let go, so that memory holds
// the commands waiting and nothing else (the disk answers for the rest).
#ifndef TARNWICK_INSPECT_PAIRS_LIVE_QUEUE_H
#define TARNWICK_INSPECT_PAIRS_LIVE_QUEUE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/report.h"
#include "pairs/pair_record.h"
#include "pairs/pair_table.h"

class LiveQueue {
 public:
  // `pending_after`: seconds a command may wait before a record says so;
  // none for no such record. `spool` is asked for what the queue does not
  // hold: the responses, and the commands let go.
  LiveQueue(std::optional<std::int64_t> pending_after, Spool* spool)
      : pending_after_(pending_after), spool_(spool) {}

  // A report of the audit, whose pair records are written already: a
  // command it leaves waiting is kept, and nothing is said.
  void known(const FileReport& report, std::int64_t now) { update(report, now, nullptr); }
  // A pair record of the audit, written already: the queue holds what it
  // says (a command it calls pending past `pending_after` is not said
  // again).
  void said(const PairRecord& record, std::int64_t now);
  // A report of the watch: appends the records of the pairs it changes.
  // `now` is in seconds since 1970.
  void add(const FileReport& report, std::int64_t now, std::vector<PairRecord>& out) {
    update(report, now, &out);
  }
  // A file gone from the spool, as its consumer takes it: a command waiting
  // is let go, with no record.
  void gone(const std::string& path);
  // The commands that have waited longer than `pending_after` at `now`:
  // one record each, once.
  void overdue(std::int64_t now, std::vector<PairRecord>& out);
  // When the next command will have waited too long, in seconds since
  // 1970; none when no record is due.
  std::optional<std::int64_t> next_alarm() const;
  std::size_t waiting() const { return waiting_.size(); }

 private:
  struct Waiting {
    PairState said = PairState::pending;
    std::optional<std::int64_t> since;  // its last change, when known
    bool overdue_said = false;
    std::string common, stem;           // its place in the table
  };

  void update(const FileReport& report, std::int64_t now, std::vector<PairRecord>* out);
  void take(const PairRecord& record, const std::string& common, const std::string& stem,
            std::int64_t now, std::vector<PairRecord>* out);

  std::optional<std::int64_t> pending_after_;
  Spool* spool_;
  PairTable table_;
  std::map<std::string, Waiting> waiting_;  // by the command's path
};

#endif

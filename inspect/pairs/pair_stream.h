// Pairs from a walk: the reports come in the walk's order, and a folder
// pair's records are given as soon as the walk has left both its folders,
// so memory is bounded by the largest pair of folders, not by the tree.
// Files named one by one, or in a list, pair as they would in a walk when
// they come in a walk's order.
#ifndef TARNWICK_INSPECT_PAIRS_PAIR_STREAM_H
#define TARNWICK_INSPECT_PAIRS_PAIR_STREAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/report.h"
#include "pairs/pair_record.h"
#include "pairs/pair_table.h"

class PairStream {
 public:
  // `now`: seconds since 1970, against which ages are taken. `spool`, when
  // given, is asked for what the walk did not give (see PairTable).
  explicit PairStream(std::int64_t now, Spool* spool = nullptr) : now_(now), spool_(spool) {}

  // Takes the next report. The records of the folders that the walk has
  // left by then are appended to `out` first: they belong before the
  // report's own line.
  void add(const FileReport& report, std::vector<PairRecord>& out);
  // The records of the folders still held, at the end of the walk, then
  // those of the commands held back while their response's folder was
  // changing (see PairTable::take_held).
  void finish(std::vector<PairRecord>& out);

 private:
  // A folder pair that the walk is in, by its common path.
  struct Open {
    std::string common;
    std::size_t parent_size;  // the part of `common` up to its last separator
    bool holds(std::string_view path) const;
  };

  std::int64_t now_;
  Spool* spool_;
  PairTable table_;
  std::vector<Open> open_;  // innermost last
};

#endif

// Which commands are answered: every command file with the response that
// has its serial stem in the partner folder, and every response that has
// no command, decided from the files' reports as the tool would decide
// `tarnwick RESPONSE COMMAND`. Pure: sides in, records out, whatever order
// the files come in.
#ifndef TARNWICK_INSPECT_PAIRS_PAIR_TABLE_H
#define TARNWICK_INSPECT_PAIRS_PAIR_TABLE_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/report.h"
#include "pairs/pair_record.h"
#include "vardek_rules.h"

// What a pair needs of one file's report.
struct PairSide {
  std::string path;
  Verdict verdict = Verdict::valid;
  std::optional<TimestampKey> key;        // when it is valid
  std::optional<std::int64_t> modified;   // its last change, when known
  ResponseOutcome outcome = ResponseOutcome::ok;  // a response's
};

// Whether a report takes part in a pair: its name passed the rule, and it
// was judged. A file gone before it was opened, or left out, is not there.
bool takes_part(const FileReport& report);
PairSide side_of(const FileReport& report);

// The decision for one command, as the tool decides `tarnwick RESPONSE
// COMMAND`: both files must open, then the response must be valid, then
// the command; then the keys decide. `ok` and `fail` are the responses
// there are; `now`, in seconds since 1970, gives a pending command's age.
PairRecord decide(const PairSide& command, const PairSide* ok,
                  const PairSide* fail, std::int64_t now);

// The files of pairs, kept by their folder pair (the common path, spool/
// for spool/out/ and spool/in/) and their stem.
class PairTable {
 public:
  // Puts a file in its place: a response replaces the one with its outcome
  // (the same file named twice counts once); a command is kept beside any
  // other with its stem, as a command named twice is judged twice.
  void add(const PairName& name, NameKind kind, PairSide side);
  // Takes a file out by its path; false when it was not there.
  bool remove(const PairName& name, NameKind kind, std::string_view path);

  // The records of one folder pair, stem by stem: each command with its
  // response, then each response that has no command as an orphan, the
  // .ok before the .fail. The folder pair is emptied.
  void take_folder(std::string_view common, std::int64_t now,
                   std::vector<PairRecord>& out);
  // The records of one stem, as take_folder would give them; the table is
  // left as it is.
  std::vector<PairRecord> records(std::string_view common, std::string_view stem,
                                  std::int64_t now) const;

  bool empty() const { return folders_.empty(); }

 private:
  struct Slot {
    std::vector<PairSide> commands;
    std::optional<PairSide> ok, fail;
  };
  using Folder = std::map<std::string, Slot, std::less<>>;
  static void records_of(const Slot& slot, std::int64_t now,
                         std::vector<PairRecord>& out);
  std::map<std::string, Folder, std::less<>> folders_;
};

#endif

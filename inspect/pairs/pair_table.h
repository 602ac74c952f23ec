// Which commands are answered: every command file with the response that
// has its serial stem in the partner folder, and every response that has
// no command, decided as the tool would decide `tarnwick RESPONSE
// COMMAND`. The table holds what the walk judged; what it did not give
// (a partner folder not walked or not listed, a link, a file that arrived
// since) is asked of the spool on disk, through `Spool`, before a command
// is called pending or a response an orphan.
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
  bool young = false;  // changed within --min-age: not judged
};

// Whether a report takes part in a pair: its name passed the rule, and it
// was judged, or found young, or found and then gone (as a consumer takes
// it). A file left out, or not a regular file, is not there.
bool takes_part(const FileReport& report);
PairSide side_of(const FileReport& report);

// The decision for one command, as the tool decides `tarnwick RESPONSE
// COMMAND`: both files must open, then the response must be valid, then
// the command; then the keys decide. `ok` and `fail` are the responses
// there are; `now`, in seconds since 1970, gives a pending command's age.
PairRecord decide(const PairSide& command, const PairSide* ok,
                  const PairSide* fail, std::int64_t now);

// The spool on disk, for what the walk did not give.
class Spool {
 public:
  virtual ~Spool() = default;
  struct Look {
    enum class Is { there, absent, unknown };
    Is is = Is::absent;
    FileReport report;  // there: the file judged
    SystemError error;  // unknown: why its folder cannot be looked in
  };
  // The file at `path`, judged as the tool would open it (a link to a file
  // counts as that file), or absent, or unknown.
  virtual Look look(const std::string& path) = 0;
  // Whether anything is at `path` now, or its folder cannot be looked in.
  virtual bool there(const std::string& path) = 0;
  // Whether the folder at `path` has been still for a moment, no entry
  // added or taken: a response missing from a folder that has just changed
  // may be one that its consumer is taking, with the command next.
  virtual bool still(const std::string& folder) = 0;
  // Waits until every folder found not still has been still as long.
  virtual void wait_until_still() = 0;
};

// The files of pairs, kept by their folder pair (the common path, spool/
// for spool/out/ and spool/in/) and their stem.
class PairTable {
 public:
  // Puts a file in its place: a response replaces the one with its outcome
  // (the same file named twice counts once); a command is kept beside any
  // other with its stem, as a command named twice is judged twice. A file
  // found and then gone is remembered as such.
  void add(const PairName& name, NameKind kind, PairSide side);
  // Takes a file out by its path; false when it was not there.
  bool remove(const PairName& name, NameKind kind, std::string_view path);

  // The records of one folder pair, stem by stem: each command with its
  // response, then each response that has no command as an orphan, the
  // .ok before the .fail. With a spool, a command with no response is
  // pending only when its response is not on disk either and the command
  // still is; a response is an orphan only when its command is not on
  // disk; a pair whose files the walk saw go (a consumer taking them)
  // has no record. A command that would be pending while its response's
  // folder has just changed is held back for take_held. The folder pair
  // is emptied.
  void take_folder(std::string_view common, std::int64_t now, Spool* spool,
                   std::vector<PairRecord>& out);
  // The commands held back: once their folders have been still for a
  // moment, each is looked at again and decided.
  void take_held(std::int64_t now, Spool* spool, std::vector<PairRecord>& out);
  // The records of one stem, as take_folder would give them; the table is
  // left as it is.
  std::vector<PairRecord> records(std::string_view common, std::string_view stem,
                                  std::int64_t now, Spool* spool = nullptr) const;

  bool empty() const { return folders_.empty() && held_.empty(); }

 private:
  struct Slot {
    std::vector<PairSide> commands;
    std::optional<PairSide> ok, fail;
    bool command_gone = false, response_gone = false;  // seen, then gone
  };
  using Folder = std::map<std::string, Slot, std::less<>>;
  // A command with no response in a folder that had just changed.
  struct Held {
    PairSide command;
    std::string ok, fail;  // its response's paths
  };
  static void records_of(std::string_view common, std::string_view stem, const Slot& slot,
                         std::int64_t now, Spool* spool, std::vector<PairRecord>& out,
                         std::vector<Held>* held);
  std::map<std::string, Folder, std::less<>> folders_;
  std::vector<Held> held_;
};

#endif

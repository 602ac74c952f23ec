// What the inspector says of a whole run: the counts of its files, how the
// run went, and the exit status they decide.
#ifndef TARNWICK_INSPECT_MODEL_SUMMARY_H
#define TARNWICK_INSPECT_MODEL_SUMMARY_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/report.h"
#include "vardek_rules.h"

// The counts at the end of a run. `files` is every file judged: all but
// the skipped, the vanished, the excluded and the missing.
struct Summary {
  std::uint64_t files = 0;
  std::uint64_t valid = 0;
  std::uint64_t not_valid = 0;
  std::uint64_t bad_name = 0;
  std::uint64_t cannot_open = 0;
  std::uint64_t skipped = 0;
  std::uint64_t vanished = 0;
  std::uint64_t excluded = 0;
  std::uint64_t missing = 0;  // operands that name nothing the run reached
  // With --stats: the files not valid by the content test that failed, and
  // the bad names by the part of the rule that failed, indexed by those.
  bool stats = false;
  std::array<std::uint64_t, static_cast<std::size_t>(ContentTest::end_record) + 1> by_test{};
  std::array<std::uint64_t, static_cast<std::size_t>(NameRule::extension) + 1> by_rule{};

  // Counts a report: its verdict, and the test or the rule that failed.
  void count(const FileReport& report);
  // Files seen so far, for a progress line.
  std::uint64_t seen() const { return files + skipped; }
};

// How a run went, besides what it found.
struct RunStats {
  std::string_view reader;    // what judged the files: "one thread",
                              // "threads", "io_uring"
  unsigned threads = 0;       // threads that judged files, at the most
  std::uint64_t batches = 0;  // batches of files handed to them
  std::string ring_failure;   // why the ring was not used, where it was
                              // wanted and could not be had
};

// Whether an operator has something to act on: a file not valid, badly
// named or not opened.
bool is_failure(Verdict verdict);

// The exit status of a run, in the tool's own codes: 3 when anything could
// not be opened, read or listed, or an operand names nothing, else 4 when anything was not valid or badly
// named, else 0.
ResultCode exit_status(const Summary& summary);

#endif

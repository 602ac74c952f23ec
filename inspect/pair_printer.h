// Turning pair records into lines, as the file printers do for file
// reports: text for people, JSON Lines for scripts.
#ifndef TARNWICK_INSPECT_PAIR_PRINTER_H
#define TARNWICK_INSPECT_PAIR_PRINTER_H

#include <memory>
#include <string>

#include "pairs.h"

class PairPrinter {
 public:
  virtual ~PairPrinter() = default;
  // Appends the record's line to `out`.
  virtual void pair(const PairRecord& record, std::string& out) = 0;
  // The pairs summary and the pending commands by age.
  virtual void summary(const PairSummary& summary, std::string& out) = 0;
};

std::unique_ptr<PairPrinter> text_pair_printer();
std::unique_ptr<PairPrinter> json_pair_printer();

// An age as a person reads it: its two largest units, "2h 14m", "42s".
std::string age_text(std::uint64_t seconds);

#endif

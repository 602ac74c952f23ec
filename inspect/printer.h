// Turning reports into lines: text for people, JSON Lines for scripts. The
// printers never read a file; they have only the report.
#ifndef TARNWICK_INSPECT_PRINTER_H
#define TARNWICK_INSPECT_PRINTER_H

#include <memory>
#include <string>

#include "report.h"

class Printer {
 public:
  virtual ~Printer() = default;
  // Appends the report's line to `out`.
  virtual void file(const FileReport& report, std::string& out) = 0;
  virtual void summary(const Summary& summary, std::string& out) = 0;
};

std::unique_ptr<Printer> text_printer();
std::unique_ptr<Printer> json_printer();

#endif

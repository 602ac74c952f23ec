// The walk: every operand in order, directories depth first with their
// entries sorted by name, each file judged, possibly on several threads,
// and every report handed on in that same order.
#ifndef TARNWICK_INSPECT_WALK_H
#define TARNWICK_INSPECT_WALK_H

#include <chrono>
#include <functional>
#include <string>

#include "report.h"

// Gives the operands one at a time: false when there are no more.
using OperandSource = std::function<bool(std::string& operand)>;

// Takes each report, in order, on the thread that called inspect.
using ReportSink = std::function<void(FileReport&& report)>;

// Called now and then while reports come slowly, and between reports, for
// a progress line.
using Tick = std::function<void()>;

// Judges what the operands name, with `jobs` threads judging files, and
// hands every report to `sink` in the order of the walk, whatever `jobs`
// is. An operand is trimmed as the tool trims an argument; one that names
// a directory is walked, unless its name has a file's form: then, like
// every other operand, it is judged as the tool would judge it.
void inspect(const OperandSource& operands, unsigned jobs,
             const ReportSink& sink, const Tick& tick);

#endif

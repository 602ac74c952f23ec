// The walk: every operand in order, directories depth first with their
// entries sorted by name, each file judged, possibly on several threads,
// and every report handed on in that same order.
#ifndef TARNWICK_INSPECT_WALK_H
#define TARNWICK_INSPECT_WALK_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "report.h"

// Gives the operands one at a time: false when there are no more.
using OperandSource = std::function<bool(std::string& operand)>;

// Takes each report, in order, on the thread that called inspect.
using ReportSink = std::function<void(FileReport&& report)>;

// Called now and then while reports come slowly, and between reports, for
// a progress line.
using Tick = std::function<void()>;

// How a walk goes, besides the order.
struct WalkOptions {
  unsigned jobs = 1;                  // threads judging files; 0: as many
                                      // as the work needs (see walk.cpp)
  std::vector<std::string> excluded;  // globs: entries whose name matches
                                      // are left out, and counted
  std::int64_t min_age = 0;           // seconds: younger files are skipped
  int max_depth = -1;                 // levels below an operand; -1: all
  bool one_file_system = false;       // stay on each operand's file system
  // Counts the calling thread's waits for the system, which tell the pool
  // of threads to grow when `jobs` is 0; the platform's count when null.
  std::uint64_t (*thread_waits)() = nullptr;
};

// Judges what the operands name, with `options.jobs` threads judging
// files (or, with 0, one a core and more while they wait on the disk), and hands every report to `sink` in the order of the walk,
// whatever the number of threads. An operand is trimmed as the tool trims
// an argument; one that names a directory is walked, unless its name has a
// file's form: then, like every other operand, it is judged as the tool
// would judge it. What the sink throws stops the run and is thrown on.
void inspect(const OperandSource& operands, const WalkOptions& options,
             const ReportSink& sink, const Tick& tick);
void inspect(const OperandSource& operands, unsigned jobs,
             const ReportSink& sink, const Tick& tick);

#endif

// A run: the walk, the judging of its files and the reports in the walk's
// order, on one thread or several.
#ifndef TARNWICK_INSPECT_RUN_RUN_H
#define TARNWICK_INSPECT_RUN_RUN_H

#include <cstdint>
#include <functional>

#include "judge/judge.h"
#include "model/report.h"
#include "model/summary.h"
#include "walk/walk.h"

// Takes each report, in order, on the thread that called inspect.
using ReportSink = std::function<void(FileReport&& report)>;

// Called now and then while reports come slowly, and between reports, for
// a progress line.
using Tick = std::function<void()>;

// How the files are judged, besides by which rules.
struct RunOptions {
  unsigned jobs = 1;  // threads judging files; 0: as many as the work needs
  // Counts the calling thread's waits for the system, which tell the pool
  // of threads to grow when `jobs` is 0; the platform's count when null.
  std::uint64_t (*thread_waits)() = nullptr;
};

// Judges what the operands name and hands every report to `sink` in the
// order of the walk, whatever the number of threads. What the sink throws
// stops the run: every thread is joined, and it is thrown on.
RunStats inspect(const OperandSource& operands, const WalkOptions& walk,
                 const JudgeOptions& judge, const RunOptions& run,
                 const ReportSink& sink, const Tick& tick);

#endif

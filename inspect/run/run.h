// A run: the walk, the judging of its files and the reports in the walk's
// order, on one thread or several.
#ifndef TARNWICK_INSPECT_RUN_RUN_H
#define TARNWICK_INSPECT_RUN_RUN_H

#include <cstdint>
#include <functional>
#include <string>

#include "judge/judge.h"
#include "model/report.h"
#include "model/summary.h"
#include "walk/walk.h"

// Takes each report, in order, on the thread that called inspect.
using ReportSink = std::function<void(FileReport&& report)>;

// Called now and then while reports come slowly, and between reports, for
// a progress line.
using Tick = std::function<void()>;

// Which reader judges the files: the batched ring where the system has
// one, else the threads (automatic); or one of them, as asked.
enum class Io { automatic, threads, uring };

// How the files are judged, besides by which rules.
struct RunOptions {
  Io io = Io::automatic;
  // Threads judging files; 0: as many as the work needs. A number given
  // picks the threads, unless the ring is asked for.
  unsigned jobs = 1;
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

// Whether a run can read through a submission ring here; when not, the
// system's reason in `why`.
bool ring_available(std::string& why);

#endif

// The seam between the walk and the report: a reader takes batches of walk
// items from an ordered pipeline, judges the files in them, and marks each
// batch done; the run hands the reports on in the walk's order, whatever
// judged them and however many at once. A pool of threads is one reader.
#ifndef TARNWICK_INSPECT_RUN_READER_H
#define TARNWICK_INSPECT_RUN_READER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "judge/judge.h"
#include "model/summary.h"
#include "run/ordered_pipeline.h"
#include "walk/walk.h"

using Batch = std::vector<WalkItem>;

class BatchReader {
 public:
  virtual ~BatchReader() = default;
  // Starts judging the batches that the pipeline gives, until it is closed
  // and empty, or cancelled. Throws when it cannot start at all.
  virtual void start(OrderedPipeline<Batch>& pipeline) = 0;
  // Called on the reporting thread between batches: a chance to grow.
  virtual void between_batches() {}
  // Waits for everything it started to end.
  virtual void join() = 0;
  // How many batches it may be judging at once, for the pipeline's size.
  virtual std::size_t in_flight() const = 0;
  // How many descriptors it may hold open at once, besides the walk's.
  virtual unsigned files_open() const = 0;
  virtual RunStats stats() const = 0;
};

// Judges one walk item in place, when the walk did not make its report.
void judge_item(WalkItem& item, const JudgeOptions& options);

// Today's default reader: threads that each judge a batch at a time. With
// `jobs` 0, one a core to start with, and one more for each batch whose
// files made their thread wait on the disk, up to 64 (`thread_waits`
// counts the calling thread's waits; the platform's count when null).
std::unique_ptr<BatchReader> thread_pool_reader(
    const JudgeOptions& options, unsigned jobs,
    std::uint64_t (*thread_waits)() = nullptr);

// The batched reader: threads that each open, read and close a batch of
// files at once through a submission ring. With `jobs` 0, as many as a
// few hundred files in flight need, within the limit on descriptors. Null,
// with the system's reason in `why`, where no ring can be had.
std::unique_ptr<BatchReader> ring_reader(const JudgeOptions& options, unsigned jobs,
                                         std::string& why);

#endif

#include "run/run.h"

#include <chrono>
#include <exception>
#include <thread>
#include <utility>

#include "platform/file_ring.h"
#include "platform/limits.h"
#include "run/reader.h"

void judge_item(WalkItem& item, const JudgeOptions& options) {
  if (item.judged) return;
  item.report = judge_or_report(std::move(item.report.path), item.directory.get(),
                                item.name, options);
  item.directory.reset();  // its descriptor is not needed any more
  item.judged = true;
}

namespace {

// Items travel between the walk and the report in batches, so that the
// threads meet once a batch, not once a file.
constexpr std::size_t BATCH_SIZE = 64;

// Stops the walker when the run has been cancelled.
struct Cancelled {};

// The walk and the judging on the calling thread, one file after another.
RunStats one_thread(const OperandSource& operands, const WalkOptions& walk,
                    const JudgeOptions& judge, const ReportSink& sink, const Tick& tick) {
  walk_operands(
      operands, walk,
      [&](WalkItem&& item) {
        judge_item(item, judge);
        sink(std::move(item.report));
        if (tick) tick();
      },
      [](std::size_t) {});
  return {"one thread", 1, 0, {}};
}

// The walk on a thread of its own, handing batches on through an ordered
// pipeline; `reader` judges them; this thread takes them back in order and
// hands their reports to the sink.
RunStats in_batches(const OperandSource& operands, const WalkOptions& options,
                    BatchReader& reader, const ReportSink& sink, const Tick& tick) {
  OrderedPipeline<Batch> pipeline(reader.in_flight());
  std::exception_ptr walk_failed;
  std::thread walker;
  const std::size_t budget = directory_budget(reader.files_open());
  const auto walk = [&] {
    try {
      Batch batch;
      const auto hand_on = [&] {
        if (batch.empty()) return;
        if (!pipeline.add(std::move(batch))) throw Cancelled{};
        batch = Batch{};
        batch.reserve(BATCH_SIZE);
      };
      // The files waiting to be judged hold their directories open; when
      // they hold too many, the walk waits for them to be judged (handing
      // on its own batch first). Those on the walk's own way down are not
      // waited for: nothing else would close them.
      const auto make_room = [&](std::size_t held_by_walk) {
        while (open_directories() >= budget && open_directories() > held_by_walk) {
          hand_on();
          if (pipeline.cancelled()) throw Cancelled{};
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      };
      walk_operands(
          operands, options,
          [&](WalkItem&& item) {
            batch.push_back(std::move(item));
            if (batch.size() == BATCH_SIZE) hand_on();
          },
          make_room);
      hand_on();
    } catch (const Cancelled&) {
      return;
    } catch (...) {
      walk_failed = std::current_exception();
    }
    pipeline.close();
  };
  const Tick between = [&] {
    reader.between_batches();
    if (tick) tick();
  };
  try {
    walker = std::thread(walk);
    reader.start(pipeline);
    for (Batch batch; pipeline.next(batch, between);) {
      reader.between_batches();
      for (WalkItem& item : batch) {
        sink(std::move(item.report));
        if (tick) tick();
      }
    }
  } catch (...) {
    // Every thread is stopped and joined before the failure goes on: a
    // thread still joinable would end the process.
    pipeline.cancel();
    if (walker.joinable()) walker.join();
    reader.join();
    throw;
  }
  walker.join();
  reader.join();
  if (walk_failed) std::rethrow_exception(walk_failed);
  return reader.stats();
}

}  // namespace

RunStats inspect(const OperandSource& operands, const WalkOptions& walk,
                 const JudgeOptions& judge, const RunOptions& run,
                 const ReportSink& sink, const Tick& tick) {
  std::string why;
  if (run.io == Io::uring || (run.io == Io::automatic && run.jobs == 0)) {
    if (const auto reader = ring_reader(judge, run.io == Io::uring ? run.jobs : 0, why))
      return in_batches(operands, walk, *reader, sink, tick);
  }
  RunStats stats;
  if (run.jobs == 1) {
    stats = one_thread(operands, walk, judge, sink, tick);
  } else {
    const auto reader = thread_pool_reader(judge, run.jobs, run.thread_waits);
    stats = in_batches(operands, walk, *reader, sink, tick);
  }
  stats.ring_failure = why;
  return stats;
}

bool ring_available(std::string& why) { return make_file_ring(1, why) != nullptr; }

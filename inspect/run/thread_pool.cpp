// Today's default reader: a pool of threads, each judging a batch at a
// time, that grows while the files make its threads wait on the disk.
#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/limits.h"
#include "run/reader.h"

namespace {

// The default number of threads: one a core to start with. A file on a
// cold disk keeps its thread asleep while the disk reads it, and the disk
// serves many reads at once far faster than one after another; so each
// batch whose files made their thread wait, one in four or more, starts
// one more thread, up to this many. On a warm cache no read waits, and
// the threads stay one a core.
constexpr unsigned MOST_THREADS = 64;
constexpr std::size_t FILES_A_WAIT = 4;

// Enough batches in flight to keep every worker busy while the reports wait
// for the slowest one: at least this many, and two a worker.
constexpr std::size_t BATCHES_IN_FLIGHT = 32;

class ThreadPool final : public BatchReader {
 public:
  ThreadPool(const JudgeOptions& options, unsigned jobs, std::uint64_t (*thread_waits)())
      : options_(options),
        adaptive_(jobs == 0),
        first_(adaptive_ ? std::max(1U, std::thread::hardware_concurrency()) : jobs),
        // A thread more holds a file open more: a low limit on descriptors
        // bounds the growth.
        most_(adaptive_ ? std::max(first_, threads_within_descriptors(MOST_THREADS)) : first_),
        thread_waits_(thread_waits != nullptr ? thread_waits : waits_of_this_thread) {
    workers_.reserve(most_);
  }
  ~ThreadPool() override { join(); }
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  std::size_t in_flight() const override {
    return std::clamp(std::size_t{most_} * 2, BATCHES_IN_FLIGHT, std::size_t{MOST_THREADS} * 2);
  }
  unsigned files_open() const override { return most_; }

  void start(OrderedPipeline<Batch>& pipeline) override {
    pipeline_ = &pipeline;
    for (unsigned i = 0; i < first_; ++i) {
      // Fewer threads than asked, when the system has no room for more,
      // still do the work.
      try {
        start_worker();
      } catch (const std::system_error&) {
        if (workers_.empty()) throw;
        most_ = static_cast<unsigned>(workers_.size());
        break;
      }
    }
  }

  // Only the reporting thread starts workers, as the batches come back.
  void between_batches() override {
    while (workers_.size() < most_ && wanted_.load(std::memory_order_relaxed) > 0) {
      wanted_.fetch_sub(1, std::memory_order_relaxed);
      try {
        start_worker();
      } catch (const std::system_error&) {
        most_ = static_cast<unsigned>(workers_.size());  // no room for more
      }
    }
  }

  void join() override {
    for (auto& worker : workers_)
      if (worker.joinable()) worker.join();
  }

  RunStats stats() const override {
    return {"threads", static_cast<unsigned>(workers_.size()), batches_.load(), {}};
  }

 private:
  void start_worker() {
    workers_.emplace_back([this] {
      pipeline_->work([this](Batch& batch) {
        const std::uint64_t before = adaptive_ ? thread_waits_() : 0;
        for (WalkItem& item : batch) judge_item(item, options_);
        batches_.fetch_add(1, std::memory_order_relaxed);
        if (adaptive_ && (thread_waits_() - before) * FILES_A_WAIT >= batch.size())
          wanted_.fetch_add(1, std::memory_order_relaxed);
      });
    });
  }

  JudgeOptions options_;
  bool adaptive_;
  unsigned first_;
  unsigned most_;
  std::uint64_t (*thread_waits_)();
  OrderedPipeline<Batch>* pipeline_ = nullptr;
  std::vector<std::thread> workers_;
  std::atomic<unsigned> wanted_{0};  // threads asked for by waiting batches
  std::atomic<std::uint64_t> batches_{0};
};

}  // namespace

std::unique_ptr<BatchReader> thread_pool_reader(const JudgeOptions& options, unsigned jobs,
                                                std::uint64_t (*thread_waits)()) {
  return std::make_unique<ThreadPool>(options, jobs, thread_waits);
}

// The batched reader: each thread takes a batch of files and, through a
// submission ring of its own, opens all of them relative to their folders
// at once, then reads what the verdict needs of all of them at once (the
// head, and the end record's bytes when the file is longer), then closes
// them. A file whose open or kind asks for more than that (a link, a
// folder, a young file, a descriptor short) is judged as the threads judge
// it, once its batch has closed its files.
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "judge/read_strategy.h"
#include "platform/file_ring.h"
#include "platform/limits.h"
#include "run/reader.h"
#include "vardek_rules.h"

namespace {

// Files a thread keeps in flight at once: a batch. One thread a core (two
// at least, so that one submits while the other judges what came back)
// keeps the disk's queue full: more only share the cores on a warm cache.
constexpr unsigned FILES_AT_ONCE = 64;
constexpr unsigned FEWEST_THREADS = 2;
constexpr unsigned MOST_THREADS = 8;
constexpr std::size_t BATCHES_IN_FLIGHT = 32;

// What a thread keeps from one batch to the next: its ring, and where the
// reads of each file go.
struct RingThread {
  std::unique_ptr<FileRing> ring;  // null: the files are read one by one
  std::vector<RingFile> files;
  std::vector<WalkItem*> items;
  std::vector<unsigned char> heads;
  std::vector<unsigned char> tails;
};

class RingReader final : public BatchReader {
 public:
  RingReader(const JudgeOptions& options, unsigned threads, unsigned files_at_once,
             std::unique_ptr<FileRing> first)
      : options_(options), threads_(threads), at_once_(files_at_once), first_(std::move(first)) {}
  ~RingReader() override { join(); }
  RingReader(const RingReader&) = delete;
  RingReader& operator=(const RingReader&) = delete;

  std::size_t in_flight() const override {
    return std::max(std::size_t{threads_} * 2, BATCHES_IN_FLIGHT);
  }
  // A ring is a descriptor too.
  unsigned files_open() const override { return threads_ * (at_once_ + 1); }

  void start(OrderedPipeline<Batch>& pipeline) override {
    for (unsigned i = 0; i < threads_; ++i) {
      std::unique_ptr<FileRing> ring = i == 0 ? std::move(first_) : nullptr;
      try {
        workers_.emplace_back([this, &pipeline, ring = std::move(ring)]() mutable {
          RingThread thread;
          thread.ring = ring ? std::move(ring) : make_ring();
          thread.heads.resize(std::size_t{at_once_} * WHOLE_READ);
          thread.tails.resize(std::size_t{at_once_} * (sizeof END_RECORD + 1));
          pipeline.work([&](Batch& batch) {
            for (std::size_t from = 0; from < batch.size(); from += at_once_)
              judge_some(thread, batch, from, std::min(batch.size(), from + at_once_));
            batches_.fetch_add(1, std::memory_order_relaxed);
          });
        });
      } catch (const std::system_error&) {
        if (workers_.empty()) throw;
        break;  // fewer threads still do the work
      }
    }
  }

  void join() override {
    for (auto& worker : workers_)
      if (worker.joinable()) worker.join();
  }

  RunStats stats() const override {
    return {"io_uring", static_cast<unsigned>(workers_.size()), batches_.load(), {}};
  }

 private:
  std::unique_ptr<FileRing> make_ring() const {
    std::string why;
    return make_file_ring(at_once_, why);
  }

  // Judges items [from, to) of a batch.
  void judge_some(RingThread& thread, Batch& batch, std::size_t from, std::size_t to) const {
    thread.files.clear();
    thread.items.clear();
    if (thread.ring) {
      for (std::size_t i = from; i < to; ++i) {
        WalkItem& item = batch[i];
        // A badly named file is never opened; one the user named is looked
        // at first: both are judged one by one.
        if (item.judged || !item.directory || check_name(item.report.path).kind == NameKind::rejected)
          continue;
        RingFile file;
        file.parent = item.directory.get();
        file.name = item.name.c_str();
        thread.files.push_back(file);
        thread.items.push_back(&item);
      }
    }
    if (!thread.files.empty()) {
      thread.ring->open(thread.files, options_.min_age);
      for (std::size_t i = 0; i < thread.files.size(); ++i) {
        RingFile& file = thread.files[i];
        if (!ready(file)) continue;
        file.reads[0] = {0, WHOLE_READ, &thread.heads[i * WHOLE_READ], 0};
        if (const auto end = tail_read(file.size))
          file.reads[1] = {end->offset, end->size, &thread.tails[i * (sizeof END_RECORD + 1)], 0};
      }
      thread.ring->read(thread.files);
      for (std::size_t i = 0; i < thread.files.size(); ++i) {
        const RingFile& file = thread.files[i];
        if (!ready(file)) continue;
        WalkItem& item = *thread.items[i];
        RingFileReader reader(file);
        item.report = judge_opened(std::move(item.report.path), reader, file.size, file.modified);
        item.judged = true;
      }
      thread.ring->close(thread.files);
    }
    // The rest, with every file of the batch closed: a descriptor short
    // when the ring opened them is not short now.
    for (std::size_t i = from; i < to; ++i) {
      judge_item(batch[i], options_);
      batch[i].directory.reset();
    }
  }

  // A regular file, open, and old enough: the ring reads it.
  static bool ready(const RingFile& file) {
    return file.handle >= 0 && file.error == 0 && file.kind == EntryKind::regular && !file.young;
  }

  JudgeOptions options_;
  unsigned threads_;
  unsigned at_once_;
  std::unique_ptr<FileRing> first_;
  std::vector<std::thread> workers_;
  std::atomic<std::uint64_t> batches_{0};
};

}  // namespace

std::unique_ptr<BatchReader> ring_reader(const JudgeOptions& options, unsigned jobs, std::string& why) {
  // Each file in flight holds a descriptor: a low limit bounds them.
  const unsigned wanted =
      jobs != 0 ? jobs : std::clamp(std::thread::hardware_concurrency(), FEWEST_THREADS, MOST_THREADS);
  const unsigned budget = threads_within_descriptors(wanted * FILES_AT_ONCE);
  const unsigned threads = std::clamp(budget / FILES_AT_ONCE, 1U, wanted);
  const unsigned at_once = std::clamp(budget / threads, 1U, FILES_AT_ONCE);
  std::unique_ptr<FileRing> first = make_file_ring(at_once, why);
  if (!first) return nullptr;
  return std::make_unique<RingReader>(options, threads, at_once, std::move(first));
}

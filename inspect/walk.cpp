#include "walk.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "files.h"
#include "judge.h"

namespace {

// One file or finding, in the order it is to be reported.
struct Job {
  FileReport report;          // final already when `judged` is set
  DirectoryHandle directory;  // where a walk found the file
  std::string name;           // its name there
  bool judged = false;
};

// A file still to be judged, and a report already made.
Job file_job(std::string path, DirectoryHandle directory, std::string name) {
  Job job;
  job.report.path = std::move(path);
  job.directory = std::move(directory);
  job.name = std::move(name);
  return job;
}

Job done_job(FileReport report) {
  Job job;
  job.report = std::move(report);
  job.judged = true;
  return job;
}

void judge(Job& job) {
  if (job.judged) return;
  job.report = judge_file(std::move(job.report.path), job.directory.get(),
                          job.name);
  job.directory.reset();  // its descriptor is not needed any more
  job.judged = true;
}

std::string joined(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '/' || dir.back() == PATH_SEPARATOR))
    return dir + name;
  return dir + PATH_SEPARATOR + name;
}

// Walks one directory tree depth first, entries sorted by name, and hands
// each job to `emit` in that order. A stack of listings, not recursion: a
// deep tree costs memory, not the thread's stack. Only the listings of the
// directories on the way down are held.
template <typename Emit>
void walk_tree(std::string root, const Emit& emit) {
  struct Frame {
    DirectoryHandle directory;
    std::string path;
    std::vector<Entry> entries;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  const auto enter = [&](const Directory* parent, const std::string& name,
                         std::string path) {
    Listing listing = list_directory(parent, name, path);
    if (!listing.directory) {
      emit(done_job(unlisted_directory(std::move(path),
                                       std::move(listing.error))));
      return;
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    stack.push_back({std::move(listing.directory), std::move(path),
                     std::move(listing.entries)});
  };
  enter(nullptr, root, root);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.entries.size()) {
      stack.pop_back();
      continue;
    }
    Entry& entry = frame.entries[frame.next++];
    std::string path = joined(frame.path, entry.name);
    switch (entry.kind) {
      case EntryKind::directory: {
        const DirectoryHandle parent = frame.directory;  // frame may move
        enter(parent.get(), entry.name, std::move(path));
        break;
      }
      case EntryKind::regular:
        emit(file_job(std::move(path), frame.directory,
                      std::move(entry.name)));
        break;
      default:
        emit(done_job(skipped_entry(std::move(path), entry.kind)));
        break;
    }
  }
}

template <typename Emit>
void walk_operands(const OperandSource& operands, const Emit& emit) {
  for (std::string operand; operands(operand);) {
    std::string path = trimmed_argument(std::move(operand));
    if (name_kind(path) == NameKind::rejected && is_directory(path))
      walk_tree(std::move(path), emit);
    else
      emit(file_job(std::move(path), nullptr, {}));
  }
}

// The jobs between the walk and the report, in a ring of fixed size: the
// walk waits when it is full, so memory does not grow with the tree.
// Workers judge any job in it; the reports leave in the ring's order.
class Pipeline {
 public:
  explicit Pipeline(std::size_t size) : slots_(size) {}

  void add(Job&& job) {
    std::unique_lock lock(mutex_);
    space_.wait(lock, [&] { return tail_ - head_ < slots_.size(); });
    slots_[tail_ % slots_.size()] = std::move(job);
    ++tail_;
    work_.notify_one();
    if (tail_ - 1 == head_) ready_.notify_one();
  }

  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    work_.notify_all();
    ready_.notify_one();
  }

  // A worker's loop: until the walk has ended and no job waits.
  void work() {
    std::unique_lock lock(mutex_);
    while (true) {
      work_.wait(lock, [&] { return claimed_ < tail_ || closed_; });
      while (claimed_ < tail_ && slots_[claimed_ % slots_.size()].judged)
        ++claimed_;
      if (claimed_ == tail_) {
        if (closed_) return;
        continue;
      }
      const std::size_t index = claimed_++;
      Job& job = slots_[index % slots_.size()];
      lock.unlock();
      judge(job);  // the slot stays put until it is reported
      lock.lock();
      if (index == head_) ready_.notify_one();
    }
  }

  // The next report in order; false once every one has been taken. Calls
  // `tick` while it waits.
  bool next(FileReport& report, const Tick& tick) {
    std::unique_lock lock(mutex_);
    while (!(head_ < tail_ && slots_[head_ % slots_.size()].judged)) {
      if (closed_ && head_ == tail_) return false;
      ready_.wait_for(lock, std::chrono::milliseconds(100));
      if (tick) {
        lock.unlock();
        tick();
        lock.lock();
      }
    }
    Job& job = slots_[head_ % slots_.size()];
    report = std::move(job.report);
    job = Job{};
    ++head_;
    space_.notify_one();
    return true;
  }

 private:
  std::vector<Job> slots_;
  std::mutex mutex_;
  std::condition_variable space_, work_, ready_;
  std::size_t head_ = 0, claimed_ = 0, tail_ = 0;
  bool closed_ = false;
};

// Enough jobs in flight to keep every worker busy while the reports wait
// for the slowest one.
constexpr std::size_t JOBS_IN_FLIGHT = 512;

}  // namespace

void inspect(const OperandSource& operands, unsigned jobs,
             const ReportSink& sink, const Tick& tick) {
  if (jobs <= 1) {
    walk_operands(operands, [&](Job&& job) {
      judge(job);
      sink(std::move(job.report));
      if (tick) tick();
    });
    return;
  }

  Pipeline pipeline(JOBS_IN_FLIGHT);
  std::exception_ptr walk_failed;
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < jobs; ++i)
    workers.emplace_back([&] { pipeline.work(); });
  std::thread walker([&] {
    try {
      walk_operands(operands, [&](Job&& job) { pipeline.add(std::move(job)); });
    } catch (...) {
      walk_failed = std::current_exception();
    }
    pipeline.close();
  });
  for (FileReport report; pipeline.next(report, tick);) {
    sink(std::move(report));
    if (tick) tick();
  }
  walker.join();
  for (auto& worker : workers) worker.join();
  if (walk_failed) std::rethrow_exception(walk_failed);
}

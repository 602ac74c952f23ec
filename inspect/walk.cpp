#include "walk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "directories.h"
#include "glob.h"
#include "judge.h"
#include "ordered_pipeline.h"

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

void judge(Job& job, std::int64_t min_age) {
  if (job.judged) return;
  // A file that cannot be judged, for want of memory, is one that could not
  // be read: it is reported, and the walk goes on.
  std::string path = job.report.path;
  try {
    job.report = judge_file(std::move(job.report.path), job.directory.get(),
                            job.name, min_age);
  } catch (const std::exception& failure) {
    job.report = FileReport{};
    job.report.path = std::move(path);
    job.report.verdict = Verdict::cannot_open;
    job.report.error = {failure.what(),
                        dynamic_cast<const std::bad_alloc*>(&failure) ? ENOMEM : 0};
  }
  job.directory.reset();  // its descriptor is not needed any more
  job.judged = true;
}

std::string joined(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '/' || dir.back() == PATH_SEPARATOR))
    return dir + name;
  return dir + PATH_SEPARATOR + name;
}

bool is_excluded(const WalkOptions& options, const std::string& name) {
  return std::any_of(options.excluded.begin(), options.excluded.end(),
                     [&](const std::string& glob) { return glob_matches(glob, name); });
}

// Walks one directory tree depth first, entries sorted by name, and hands
// each job to `emit` in that order. A stack of listings, not recursion: a
// deep tree costs memory, not the thread's stack. Only the listings of the
// directories on the way down are held. Before it opens a directory it
// calls `make_room` with the depth of the stack, which may wait until
// enough descriptors are free.
template <typename Emit, typename MakeRoom>
void walk_tree(std::string root, const WalkOptions& options, const Emit& emit,
               const MakeRoom& make_room) {
  struct Frame {
    DirectoryHandle directory;
    std::string path;
    std::vector<Entry> entries;
    int depth;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  std::uint64_t root_device = 0;
  const auto enter = [&](const Directory* parent, const std::string& name,
                         std::string path, int depth) {
    make_room(stack.size());
    Listing listing = list_directory(
        parent, name, path,
        options.one_file_system && parent != nullptr ? &root_device : nullptr);
    if (listing.other_device) return;  // as find -xdev: not entered
    if (!listing.directory) {
      emit(done_job(listing.vanished
                        ? vanished_entry(std::move(path))
                        : unlisted_directory(std::move(path),
                                             std::move(listing.error))));
      return;
    }
    if (parent == nullptr) root_device = listing.device;
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    stack.push_back({std::move(listing.directory), std::move(path),
                     std::move(listing.entries), depth});
  };
  if (options.max_depth == 0) return;  // the operand alone, which is no file
  enter(nullptr, root, root, 0);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.entries.size()) {
      stack.pop_back();
      continue;
    }
    Entry& entry = frame.entries[frame.next++];
    std::string path = joined(frame.path, entry.name);
    if (is_excluded(options, entry.name)) {
      emit(done_job(excluded_entry(std::move(path))));
      continue;
    }
    switch (entry.kind) {
      case EntryKind::directory: {
        // The tool would be given it as a file, and could not open it.
        if (name_kind(path) != NameKind::rejected)
          emit(done_job(directory_named_like_a_file(path)));
        const int depth = frame.depth + 1;
        if (options.max_depth >= 0 && depth >= options.max_depth) break;
        const DirectoryHandle parent = frame.directory;  // frame may move
        enter(parent.get(), entry.name, std::move(path), depth);
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

template <typename Emit, typename MakeRoom>
void walk_operands(const OperandSource& operands, const WalkOptions& options,
                   const Emit& emit, const MakeRoom& make_room) {
  for (std::string operand; operands(operand);) {
    std::string path(trim_quotes(operand));
    if (name_kind(path) == NameKind::rejected && is_directory(path))
      walk_tree(std::move(path), options, emit, make_room);
    else
      emit(file_job(std::move(path), nullptr, {}));
  }
}

// Jobs travel between the walk and the report in batches, so that the
// threads meet once a batch, not once a file.
constexpr std::size_t BATCH_SIZE = 64;
using Batch = std::vector<Job>;

// Enough batches in flight to keep every worker busy while the reports wait
// for the slowest one: at least this many, and two a worker.
constexpr std::size_t BATCHES_IN_FLIGHT = 32;

// The default number of threads: one a core to start with. A file on a
// cold disk keeps its thread asleep while the disk reads it, and the disk
// serves many reads at once far faster than one after another; so each
// batch whose files made their thread wait, one in four or more, starts
// one more thread, up to this many. On a warm cache no read waits, and
// the threads stay one a core.
constexpr unsigned MOST_THREADS = 64;
constexpr std::size_t FILES_A_WAIT = 4;

// Stops the walker when the run has been cancelled.
struct Cancelled {};

}  // namespace

void inspect(const OperandSource& operands, unsigned jobs,
             const ReportSink& sink, const Tick& tick) {
  WalkOptions options;
  options.jobs = jobs;
  inspect(operands, options, sink, tick);
}

void inspect(const OperandSource& operands, const WalkOptions& options,
             const ReportSink& sink, const Tick& tick) {
  const std::int64_t min_age = options.min_age;
  const bool adaptive = options.jobs == 0;
  if (options.jobs == 1) {
    walk_operands(
        operands, options,
        [&](Job&& job) {
          judge(job, min_age);
          sink(std::move(job.report));
          if (tick) tick();
        },
        [](std::size_t) {});
    return;
  }
  const unsigned first =
      adaptive ? std::max(1U, std::thread::hardware_concurrency()) : options.jobs;
  // A thread more holds a file open more: a low limit on descriptors
  // bounds the growth.
  unsigned most =
      adaptive ? std::max(first, threads_within_descriptors(MOST_THREADS)) : first;
  std::uint64_t (*const thread_waits)() =
      options.thread_waits != nullptr ? options.thread_waits : waits_of_this_thread;
  std::atomic<unsigned> wanted{0};  // threads asked for by waiting batches

  OrderedPipeline<Batch> pipeline(std::clamp(std::size_t{most} * 2, BATCHES_IN_FLIGHT,
                                             std::size_t{MOST_THREADS} * 2));
  std::exception_ptr walk_failed;
  std::vector<std::thread> workers;
  std::thread walker;
  workers.reserve(most);
  const std::size_t budget = directory_budget(most);
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
        while (open_directories() >= budget &&
               open_directories() > held_by_walk) {
          hand_on();
          if (pipeline.cancelled()) throw Cancelled{};
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      };
      walk_operands(
          operands, options,
          [&](Job&& job) {
            batch.push_back(std::move(job));
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
  const auto start_worker = [&] {
    workers.emplace_back([&] {
      pipeline.work([&](Batch& batch) {
        const std::uint64_t before = adaptive ? thread_waits() : 0;
        for (Job& job : batch) judge(job, min_age);
        if (adaptive && (thread_waits() - before) * FILES_A_WAIT >= batch.size())
          wanted.fetch_add(1, std::memory_order_relaxed);
      });
    });
  };
  // Only this thread starts workers, as the batches come back.
  const auto grow = [&] {
    while (workers.size() < most && wanted.load(std::memory_order_relaxed) > 0) {
      wanted.fetch_sub(1, std::memory_order_relaxed);
      try {
        start_worker();
      } catch (const std::system_error&) {
        most = static_cast<unsigned>(workers.size());  // no room for more
      }
    }
  };
  const Tick tick_and_grow = [&] {
    grow();
    if (tick) tick();
  };
  try {
    walker = std::thread(walk);
    for (unsigned i = 0; i < first; ++i) {
      // Fewer threads than asked, when the system has no room for more,
      // still do the work.
      try {
        start_worker();
      } catch (const std::system_error&) {
        if (workers.empty()) throw;
        most = static_cast<unsigned>(workers.size());
        break;
      }
    }
    for (Batch batch; pipeline.next(batch, tick_and_grow);) {
      grow();
      for (Job& job : batch) {
        sink(std::move(job.report));
        if (tick) tick();
      }
    }
  } catch (...) {
    // Every thread is stopped and joined before the failure goes on: a
    // thread still joinable would end the process.
    pipeline.cancel();
    if (walker.joinable()) walker.join();
    for (auto& worker : workers) worker.join();
    throw;
  }
  walker.join();
  for (auto& worker : workers) worker.join();
  if (walk_failed) std::rethrow_exception(walk_failed);
}

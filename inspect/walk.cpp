#include "walk.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>
#include <vector>

#include "directories.h"
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

void judge(Job& job) {
  if (job.judged) return;
  // A file that cannot be judged, for want of memory, is one that could not
  // be read: it is reported, and the walk goes on.
  std::string path = job.report.path;
  try {
    job.report = judge_file(std::move(job.report.path), job.directory.get(),
                            job.name);
  } catch (const std::exception& failure) {
    job.report = FileReport{};
    job.report.path = std::move(path);
    job.report.verdict = Verdict::cannot_open;
    job.report.error = failure.what();
  }
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
    std::string path(trim_quotes(operand));
    if (name_kind(path) == NameKind::rejected && is_directory(path))
      walk_tree(std::move(path), emit);
    else
      emit(file_job(std::move(path), nullptr, {}));
  }
}

// Jobs travel between the walk and the report in batches, so that the
// threads meet once a batch, not once a file.
constexpr std::size_t BATCH_SIZE = 64;
using Batch = std::vector<Job>;

// Enough batches in flight to keep every worker busy while the reports wait
// for the slowest one.
constexpr std::size_t BATCHES_IN_FLIGHT = 32;

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

  OrderedPipeline<Batch> pipeline(BATCHES_IN_FLIGHT);
  std::exception_ptr walk_failed;
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < jobs; ++i)
    workers.emplace_back([&] {
      pipeline.work([](Batch& batch) {
        for (Job& job : batch) judge(job);
      });
    });
  std::thread walker([&] {
    try {
      Batch batch;
      walk_operands(operands, [&](Job&& job) {
        batch.push_back(std::move(job));
        if (batch.size() == BATCH_SIZE) {
          pipeline.add(std::move(batch));
          batch = Batch{};
          batch.reserve(BATCH_SIZE);
        }
      });
      if (!batch.empty()) pipeline.add(std::move(batch));
    } catch (...) {
      walk_failed = std::current_exception();
    }
    pipeline.close();
  });
  for (Batch batch; pipeline.next(batch, tick);) {
    for (Job& job : batch) {
      sink(std::move(job.report));
      if (tick) tick();
    }
  }
  walker.join();
  for (auto& worker : workers) worker.join();
  if (walk_failed) std::rethrow_exception(walk_failed);
}

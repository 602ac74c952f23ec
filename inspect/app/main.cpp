// tarnwick-inspect: say why each command or response file is valid or not,
// for the files named and for every file in the directories named.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/disk_spool.h"
#include "app/metrics_file.h"
#include "app/operands.h"
#include "app/status.h"
#include "app/options.h"
#include "app/terminal.h"
#include "model/summary.h"
#include "pairs/live_queue.h"
#include "pairs/pair_stream.h"
#include "platform/console.h"
#include "platform/errors.h"
#include "platform/host.h"
#include "platform/limits.h"
#include "print/sink.h"
#include "platform/watcher.h"
#include "run/run.h"
#include "watch/watch.h"
#ifdef _WIN32
#include "windows_paths.h"
#endif

namespace {

std::int64_t milliseconds_since_1970();

// The sink the options ask for: text, JSON Lines or bare paths, through
// the filter of -q, -l and --summary. What -l cannot list, as no regular
// file, it says with `say`.
std::unique_ptr<Sink> sink_for(const Options& options, std::string& out, const Say& say) {
  std::unique_ptr<Sink> sink = options.failure_paths
                                   ? paths_sink(out, options.print0 ? '\0' : '\n', say)
                               : options.json ? (options.watch ? json_sink(out, options.labels, milliseconds_since_1970)
                                                               : json_sink(out, options.labels))
                                              : text_sink(out);
  return filtered(std::move(sink),
                  {.failures_only = options.quiet || options.failure_paths,
                   .summary_only = options.summary_only});
}

std::int64_t seconds_since_1970() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t milliseconds_since_1970() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int inspect_all(int argc, char** argv) {
  const std::int64_t start_ms = milliseconds_since_1970();
  const auto started = std::chrono::steady_clock::now();
  const Options options = parse_command_line(argc, argv);
  std::FILE* list = nullptr;
  if (!options.files_from.empty()) {
    std::string error;
    list = open_file_list(options.files_from, error);
    if (list == nullptr)
      bad_command_line("cannot read the list '" + options.files_from + "': " + error);
  }
  raise_open_file_limit();
  keep_on_broken_pipes();

  WalkOptions walk;
  walk.excluded = options.excluded;
  walk.max_depth = options.max_depth;
  walk.one_file_system = options.one_file_system;
  JudgeOptions judge;
  judge.min_age = options.min_age;
  RunOptions run;
  run.jobs = options.jobs;  // 0: one a core, more while files wait on the disk
  run.io = options.io;
  if (options.io == Io::uring) {
    // Asked for, and not to be had here: as bad as a command line that
    // cannot be followed.
    std::string why;
    if (!ring_available(why)) {
      static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: --io uring: io_uring is not available here: %s\n",
                                     why.c_str()));
      return RC_OTHER_PROBLEM;
    }
  }

  Operands operands(options.paths, list, options.null_separated ? '\0' : '\n');
  Progress progress(error_is_terminal());
  Output output(progress);
  const std::unique_ptr<Sink> sink = sink_for(options, output.text(), [&](std::string_view line) {
    progress.clear();
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: %.*s", static_cast<int>(line.size()),
                                   line.data()));
  });
  Summary summary;
  summary.stats = options.stats;
  // The watch takes the stop and relist signals before any thread starts,
  // and watches the folders before the audit lists them.
  std::unique_ptr<Watcher> watcher;
  std::optional<Watch> watch;
  if (options.watch) {
    SystemError error;
    watcher = open_watcher(error);
    if (!watcher) {
      static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot watch: %s\n", error.text.c_str()));
      return RC_OTHER_PROBLEM;
    }
    WatchOptions watching;
    watching.roots = options.paths;
    watching.excluded = options.excluded;
    watching.settle = options.settle;
    watching.poll = options.poll;
    watching.max_depth = options.max_depth;
    watching.one_file_system = options.one_file_system;
    watching.judge = judge;
    watch.emplace(std::move(watching), *watcher, [&](const WatchRecord& record) {
      sink->watch(record);
      output.finish();
    });
    watch->start();
  }
  // Pairs: their records come after the lines of both their folders. A
  // list of paths to act on (-l) has no room for them, but they still
  // decide --max-pending.
  DiskSpool spool(judge);
  std::optional<PairStream> pairs;
  if (options.pairs) pairs.emplace(seconds_since_1970(), &spool);
  PairSummary pair_summary;
  std::vector<PairRecord> pair_records;
  RunRecord run_record;
  run_record.start_ms = start_ms;
  run_record.host = host_name();
  run_record.version = TARNWICK_VERSION;
  std::string metrics_failure;
  const std::optional<std::int64_t> last_success =
      options.metrics.empty() ? std::nullopt : last_success_before(options.metrics);
  const auto elapsed_ms = [&] {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count());
  };

  // With --watch --pairs, the commands left waiting, and the records of
  // the pairs whose state changes as files land or go.
  std::optional<LiveQueue> live;
  if (watch && pairs) {
    std::optional<std::int64_t> after;
    if (options.pending_after) after = (options.pending_after->count() + 999) / 1000;
    live.emplace(after, &spool);
  }
  const auto hand_on_pairs = [&] {
    for (const PairRecord& record : pair_records) {
      pair_summary.count(record);
      sink->pair(record);
      if (live) live->said(record, seconds_since_1970());
    }
    pair_records.clear();
  };
  const auto hand_on_live = [&](const std::vector<PairRecord>& records) {
    for (const PairRecord& record : records) sink->pair(record);
  };
  const auto watch_hooks = [&] {
    WatchHooks hooks;
    hooks.report = [&](FileReport&& report) {
      summary.count(report);
      sink->file(report);
      if (live) {
        std::vector<PairRecord> records;
        live->add(report, seconds_since_1970(), records);
        hand_on_live(records);
      }
      output.flush_if_full();
    };
    // A burst is written in large pieces; a file alone, at once.
    hooks.flush = [&] { output.finish(); };
    if (!live) return hooks;
    hooks.gone = [&](const std::string& path) { live->gone(path); };
    hooks.next_alarm = [&]() -> std::optional<std::int64_t> {
      const std::optional<std::int64_t> at = live->next_alarm();
      if (!at) return std::nullopt;
      return *at * 1000;
    };
    hooks.ring = [&] {
      std::vector<PairRecord> records;
      live->overdue(seconds_since_1970(), records);
      hand_on_live(records);
    };
    return hooks;
  };
  try {
    const RunStats stats = inspect(
        [&](std::string& operand) { return operands.next(operand); }, walk, judge, run,
        [&](FileReport&& report) {
          if (pairs) {
            pairs->add(report, pair_records);
            hand_on_pairs();
          }
          if (live) live->known(report, seconds_since_1970());
          summary.count(report);
          sink->file(report);
          output.flush_if_full();
          progress.tick(summary.seen());
        },
        [&] { progress.update(summary.seen()); });
    progress.clear();
    if (pairs) {
      pairs->finish(pair_records);
      hand_on_pairs();
    }
    if (watch) {
      output.finish();
      watch->run(watch_hooks());
    }
    const RunEnd end{summary, pairs ? &pair_summary : nullptr, operands.failed(),
                     options.min_files, options.max_pending};
    run_record.status = run_status(end);
    run_record.duration_ms = elapsed_ms();
    run_record.min_files_given = options.min_files_given;
    run_record.min_files = options.min_files;
    run_record.too_few_files = too_few_files(end);
    SystemError metrics_error;
    if (!options.metrics.empty() &&
        !write_metrics_file(options.metrics, last_success, summary, pairs ? &pair_summary : nullptr, run_record,
                            options.labels, metrics_error)) {
      metrics_failure = "cannot write the metrics '" + options.metrics + "': " + metrics_error.text;
      run_record.status = RC_OTHER_PROBLEM;
    }
    sink->summary({summary, pairs ? &pair_summary : nullptr, stats, &run_record});
    output.finish();
  } catch (const WriteFailed& failed) {
    progress.clear();
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot write the report: %s\n",
                                   error_text(failed.error).c_str()));
    // The monitoring learns that the run failed, with what was judged
    // before it stopped, rather than keep the last run's figures.
    run_record.status = RC_OTHER_PROBLEM;
    run_record.duration_ms = elapsed_ms();
    SystemError metrics_error;
    if (!options.metrics.empty() &&
        !write_metrics_file(options.metrics, last_success, summary, pairs ? &pair_summary : nullptr, run_record,
                            options.labels, metrics_error))
      static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot write the metrics '%s': %s\n",
                                     options.metrics.c_str(), metrics_error.text.c_str()));
    return RC_OTHER_PROBLEM;
  } catch (...) {
    // What was judged before the failure is still reported.
    progress.clear();
    try {
      output.finish();
    } catch (const WriteFailed&) {
    }
    throw;
  }
  const RunEnd end{summary, pairs ? &pair_summary : nullptr, operands.failed(), options.min_files,
                   options.max_pending};
  if (end.list_failed)
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot read all of the list '%s': %s\n",
                                   options.files_from.c_str(), error_text(operands.error()).c_str()));
  if (too_few_files(end))
    static_cast<void>(std::fprintf(
        stderr, "tarnwick-inspect: %llu %s judged, fewer than --min-files %llu\n",
        static_cast<unsigned long long>(summary.files), summary.files == 1 ? "file" : "files",
        static_cast<unsigned long long>(options.min_files)));
  if (!metrics_failure.empty())
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: %s\n", metrics_failure.c_str()));
  return run_record.status;
}

// What cannot go on (no memory for a listing, a thread that cannot start)
// ends the run with 3 and says so.
int run(int argc, char** argv) {
  try {
    return inspect_all(argc, argv);
  } catch (const std::exception& failure) {
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: %s\n", failure.what()));
  } catch (...) {
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: stopped by an unknown error\n"));
  }
  return RC_OTHER_PROBLEM;
}

}  // namespace

#ifdef _WIN32
// Windows gives the arguments in UTF-16; the inspector works in UTF-8.
extern "C" int wmain(int argc, wchar_t** argv);
extern "C" int wmain(int argc, wchar_t** argv) {
  char** const arguments = utf8_arguments(argc, argv);
  if (arguments == nullptr) {
    static_cast<void>(std::fputs("tarnwick-inspect: the command line is too long\n", stderr));
    return RC_OTHER_PROBLEM;
  }
  return run(argc, arguments);
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif

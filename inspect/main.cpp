// tarnwick-inspect: say why each command or response file is valid or not,
// for the files named and for every file in the directories named.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "console.h"
#include "directories.h"
#include "pair_printer.h"
#include "printer.h"
#include "walk.h"
#ifdef _WIN32
#include "windows_paths.h"
#endif

namespace {

constexpr const char* USAGE =
    "Usage: tarnwick-inspect [OPTION]... PATH...\n"
    "       tarnwick-inspect [OPTION]... --files-from FILE [-0]\n"
    "Say why each command or response file is valid or not: the files named,\n"
    "and every file in the directories named.\n"
    "\n"
    "  --json             write JSON Lines: an object a file, then a summary\n"
    "  -q, --quiet        print only the files that are not valid, and the "
    "summary\n"
    "                     (the tool's -q prints nothing at all)\n"
    "      --summary      print only the summary\n"
    "      --pairs        pair each command with its response, and say whether\n"
    "                     it is answered, stale, pending or in conflict\n"
    "  -l, --files-with-failures  print only the paths of the files not valid,\n"
    "                     badly named or not opened, one a line\n"
    "      --print0       with -l, end each path in a NUL byte, for xargs -0\n"
    "      --stats        count the failures by content test and naming rule\n"
    "  -j, --jobs N       judge files on N threads (default: one a core, and up\n"
    "                     to 64 while files wait on the disk)\n"
    "      --files-from FILE  take paths from FILE too, one a line; - is "
    "standard input\n"
    "  -0, --null         paths in FILE end in a NUL byte, not a newline\n"
    "      --exclude GLOB leave out of a walk the entries whose name matches;\n"
    "                     a folder that matches is not entered (repeatable)\n"
    "      --min-age AGE  skip files modified less than AGE ago (30s, 5m, 2h)\n"
    "      --max-depth N  walk at most N levels below each folder named\n"
    "  -x, --one-file-system  do not walk into other file systems\n"
    "      --min-files N  fail, with 3, when fewer than N files are judged:\n"
    "                     an empty or unmounted spool is no all clear\n"
    "      --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 if every file judged is valid; 4 if some file is not "
    "valid\n"
    "or badly named; 3 if some file or directory could not be opened, read "
    "or\n"
    "listed, or the command line is bad.\n";

struct Options {
  bool json = false;
  bool quiet = false;
  bool summary_only = false;
  bool pairs = false;
  bool failure_paths = false;  // -l
  bool print0 = false;
  bool stats = false;
  unsigned jobs = 0;  // 0: as many as the work needs
  std::string files_from;
  bool null_separated = false;
  std::vector<std::string> excluded;
  std::string min_age;
  int max_depth = -1;
  bool one_file_system = false;
  std::uint64_t min_files = 0;
  std::vector<std::string> paths;
};

// 30s, 5m, 2h, 1d, or a number of seconds; -1 when it is none of these.
std::int64_t seconds_of(const std::string& age) {
  std::size_t digits = 0;
  while (digits < age.size() && age[digits] >= '0' && age[digits] <= '9') ++digits;
  if (digits == 0 || digits > 9 || age.size() > digits + 1) return -1;
  const std::int64_t n = std::stoll(age.substr(0, digits));
  if (digits == age.size()) return n;
  switch (age[digits]) {
    case 's': return n;
    case 'm': return n * 60;
    case 'h': return n * 3600;
    case 'd': return n * 86400;
    default: return -1;
  }
}

[[noreturn]] void bad_command_line(const std::string& why) {
  static_cast<void>(std::fprintf(
      stderr,
      "tarnwick-inspect: %s\n"
      "Try 'tarnwick-inspect --help' for more information.\n",
      why.c_str()));
  std::exit(RC_OTHER_PROBLEM);
}

Options parse_command_line(int argc, char** argv) {
  Options options;
  bool help = false, version = false;
  CLI::App app;
  // A path such as /var/spool/in is a path on Windows too, not an option.
  app.allow_windows_style_options(false);
  app.set_help_flag();
  app.add_flag("--help", help);
  app.add_flag("--version", version);
  app.add_flag("--json", options.json);
  app.add_flag("-q,--quiet", options.quiet);
  app.add_flag("--summary", options.summary_only);
  app.add_flag("--pairs", options.pairs);
  app.add_flag("-l,--files-with-failures", options.failure_paths);
  app.add_flag("--print0", options.print0);
  app.add_flag("--stats", options.stats);
  app.add_option("--exclude", options.excluded)->allow_extra_args(false);
  app.add_option("--min-age", options.min_age);
  app.add_option("--max-depth", options.max_depth)->check(CLI::NonNegativeNumber);
  app.add_flag("-x,--one-file-system", options.one_file_system);
  app.add_option("--min-files", options.min_files)->check(CLI::NonNegativeNumber);
  app.add_option("-j,--jobs", options.jobs)
      ->check(CLI::Range(1U, 1024U));
  app.add_option("--files-from", options.files_from);
  app.add_flag("-0,--null", options.null_separated);
  app.add_option("paths", options.paths);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    bad_command_line(error.what());
  }
  if (help) {
    static_cast<void>(std::fputs(USAGE, stdout));
    std::exit(0);
  }
  if (version) {
    static_cast<void>(std::puts("tarnwick-inspect " TARNWICK_VERSION));
    std::exit(0);
  }
  if (options.paths.empty() && options.files_from.empty())
    bad_command_line("no path given, and no --files-from");
  if (options.null_separated && options.files_from.empty())
    bad_command_line("-0 applies to --files-from, which is not given");
  if (options.print0 && !options.failure_paths)
    bad_command_line("--print0 applies to -l, which is not given");
  if (options.failure_paths && (options.json || options.summary_only))
    bad_command_line("-l prints paths alone: not with --json or --summary");
  if (!options.min_age.empty() && seconds_of(options.min_age) < 0)
    bad_command_line("--min-age takes a number and s, m, h or d: 30s, 5m, 2h, "
                     "not '" + options.min_age + "'");
  return options;
}

// The paths named on the command line, then those in the file list.
class Operands {
 public:
  Operands(std::vector<std::string> paths, std::FILE* list, char separator)
      : paths_(std::move(paths)), list_(list), separator_(separator) {}

  bool next(std::string& operand) {
    if (next_path_ < paths_.size()) {
      operand = std::move(paths_[next_path_++]);
      return true;
    }
    // Empty entries, such as a blank line, name nothing.
    operand.clear();
    while (list_ != nullptr) {
      if (at_ == filled_ && !refill()) {
        if (!operand.empty()) return true;
        continue;
      }
      const char* begin = buffer_ + at_;
      // A NUL cannot be part of a path: the name checked would not be the
      // file opened. A list that holds one was meant for -0.
      if (separator_ != '\0' && std::memchr(begin, '\0', filled_ - at_))
        throw std::runtime_error(
            "the list holds a NUL byte, which no path can: for a list of "
            "paths that end in NUL bytes, give -0");
      const void* found = std::memchr(begin, separator_, filled_ - at_);
      const std::size_t size =
          found ? static_cast<std::size_t>(static_cast<const char*>(found) - begin)
                : filled_ - at_;
      operand.append(begin, size);
      at_ += size;
      if (found) {
        ++at_;
        if (!operand.empty()) return true;
      }
    }
    return false;
  }

  bool failed() const { return failed_; }

 private:
  bool refill() {
    filled_ = std::fread(buffer_, 1, sizeof buffer_, list_);
    at_ = 0;
    if (filled_ > 0) return true;
    failed_ = std::ferror(list_) != 0;
    list_ = nullptr;
    return false;
  }

  char buffer_[1 << 16];
  std::size_t at_ = 0, filled_ = 0;
  std::vector<std::string> paths_;
  std::size_t next_path_ = 0;
  std::FILE* list_;
  char separator_;
  bool failed_ = false;
};

// One line on standard error, rewritten in place, once a run has lasted
// more than a moment: files seen, files a second.
class Progress {
 public:
  explicit Progress(bool shown) : shown_(shown), start_(Clock::now()) {}

  void tick(std::uint64_t seen) {
    if (!shown_ || (seen & 0xFF) != 0) return;
    update(seen);
  }
  void update(std::uint64_t seen) {
    if (!shown_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::milliseconds(500) ||
        now - last_ < std::chrono::milliseconds(100))
      return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    width_ = std::fprintf(stderr, "\r%llu files, %.0f files/s ",
                          static_cast<unsigned long long>(seen),
                          static_cast<double>(seen) / seconds);
    static_cast<void>(std::fflush(stderr));
  }
  // Rubs the line out: before the report is written, as both may be on
  // one terminal, and at the end.
  void clear() {
    if (width_ > 0) static_cast<void>(std::fprintf(stderr, "\r%*s\r", width_, ""));
    width_ = 0;
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool shown_;
  Clock::time_point start_, last_{};
  int width_ = 0;
};

// Standard output failed: the run stops at once.
struct WriteFailed {};

// Standard output, written in large pieces.
class Output {
 public:
  explicit Output(Progress& progress) : progress_(progress) {}
  std::string& text() { return text_; }
  void flush_if_full() {
    if (text_.size() >= 1 << 16) flush();
  }
  void flush() {
    if (text_.empty()) return;
    progress_.clear();
    if (!write_output(text_)) throw WriteFailed{};
    text_.clear();
  }
  void finish() {
    flush();
    if (std::fflush(stdout) != 0) throw WriteFailed{};
  }

 private:
  Progress& progress_;
  std::string text_;
};

// Paths alone, for -l: raw bytes, as another program takes them.
class PathPrinter final : public Printer {
 public:
  explicit PathPrinter(char end) : end_(end) {}
  void file(const FileReport& report, std::string& out) override {
    out += report.path;
    out += end_;
  }
  void summary(const Summary&, std::string&) override {}

 private:
  char end_;
};

int inspect_all(int argc, char** argv) {
  const Options options = parse_command_line(argc, argv);
  std::FILE* list = nullptr;
  if (!options.files_from.empty()) {
    std::string error;
    list = open_file_list(options.files_from, error);
    if (list == nullptr)
      bad_command_line("cannot read the list '" + options.files_from +
                       "': " + error);
  }
  raise_open_file_limit();

  const std::unique_ptr<Printer> printer =
      options.failure_paths ? std::make_unique<PathPrinter>(options.print0 ? '\0' : '\n')
      : options.json        ? json_printer()
                            : text_printer();
  const bool summary_only = options.summary_only;
  const bool failures_only = options.quiet || options.failure_paths;
  WalkOptions walk;
  walk.jobs = options.jobs;  // 0: one a core, more while files wait on the disk
  walk.excluded = options.excluded;
  walk.min_age = options.min_age.empty() ? 0 : seconds_of(options.min_age);
  walk.max_depth = options.max_depth;
  walk.one_file_system = options.one_file_system;

  Operands operands(options.paths, list, options.null_separated ? '\0' : '\n');
  Progress progress(error_is_terminal());
  Output output(progress);
  Summary summary;
  summary.stats = options.stats;
  // Pairs: their records come after the lines of both their folders. A
  // list of paths to act on (-l) has no room for them.
  std::optional<Pairing> pairing;
  if (options.pairs && !options.failure_paths)
    pairing.emplace(std::chrono::duration_cast<std::chrono::seconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count());
  const std::unique_ptr<PairPrinter> pair_printer =
      options.json ? json_pair_printer() : text_pair_printer();
  PairSummary pair_summary;
  std::vector<PairRecord> pair_records;
  const auto print_pairs = [&] {
    for (const PairRecord& record : pair_records) {
      pair_summary.count(record);
      if (!summary_only && (!failures_only || record.state != PairState::answered))
        pair_printer->pair(record, output.text());
    }
    pair_records.clear();
  };
  try {
    inspect([&](std::string& operand) { return operands.next(operand); }, walk,
            [&](FileReport&& report) {
              if (pairing) {
                pairing->add(report, pair_records);
                print_pairs();
              }
              summary.count(report.verdict);
              summary.count_reason(report);
              const bool shown = report.verdict != Verdict::excluded &&
                                 (!failures_only || is_failure(report.verdict));
              if (!summary_only && shown) {
                printer->file(report, output.text());
                output.flush_if_full();
              }
              progress.tick(summary.files + summary.skipped);
            },
            [&] { progress.update(summary.files + summary.skipped); });
    progress.clear();
    if (pairing) {
      pairing->finish(pair_records);
      print_pairs();
      pair_printer->summary(pair_summary, output.text());
    }
    printer->summary(summary, output.text());
    output.finish();
  } catch (const WriteFailed&) {
    progress.clear();
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot write the report\n"));
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
  if (operands.failed()) {
    static_cast<void>(std::fprintf(stderr, "tarnwick-inspect: cannot read all of the list '%s'\n",
                                   options.files_from.c_str()));
    return RC_OTHER_PROBLEM;
  }
  if (summary.files < options.min_files) {
    static_cast<void>(std::fprintf(
        stderr, "tarnwick-inspect: %llu %s judged, fewer than --min-files %llu\n",
        static_cast<unsigned long long>(summary.files),
        summary.files == 1 ? "file" : "files",
        static_cast<unsigned long long>(options.min_files)));
    return RC_OTHER_PROBLEM;
  }
  return exit_status(summary);
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

#include "app/options.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/numbers.h"
#include "print/escape.h"
#include "vardek_rules.h"

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
    "      --max-pending AGE  with --pairs, end with 5 when a command has been\n"
    "                     pending longer than AGE\n"
    "  -l, --files-with-failures  print only the paths of the regular files not\n"
    "                     valid, badly named or not opened, one a line\n"
    "      --print0       with -l, end each path in a NUL byte, for xargs -0\n"
    "      --stats        count the failures by content test and naming rule\n"
    "  -j, --jobs N       judge files on N threads (default: one a core, and up\n"
    "                     to 64 while files wait on the disk)\n"
    "      --io HOW       read files through io_uring in batches (uring), on\n"
    "                     threads (threads), or through io_uring where the\n"
    "                     system allows it and -j is not given (auto, the\n"
    "                     default)\n"
    "      --files-from FILE  take paths from FILE too, one a line; - is "
    "standard input\n"
    "  -0, --null         paths in FILE end in a NUL byte, not a newline\n"
    "      --exclude GLOB leave out of a walk the entries whose name matches;\n"
    "                     a folder that matches is not entered (repeatable)\n"
    "      --min-age AGE  skip files modified less than AGE ago (500ms, 30s, 5m,\n"
    "                     2h, 1d)\n"
    "      --max-depth N  walk at most N levels below each folder named\n"
    "  -x, --one-file-system  do not walk into other file systems\n"
    "      --min-files N  fail, with 3, when fewer than N files are judged:\n"
    "                     an empty or unmounted spool is no all clear\n"
    "      --metrics FILE write the run's metrics to FILE, for Prometheus'\n"
    "                     node_exporter (written beside it, then renamed)\n"
    "      --label KEY=VALUE  add the field KEY to every JSON record, and the\n"
    "                     label KEY to every metric (repeatable)\n"
    "      --watch        after the audit, keep running: judge each file that\n"
    "                     lands or changes, once settled, until SIGINT or SIGTERM\n"
    "      --settle AGE   with --watch, judge a file once it has been closed and\n"
    "                     left alone this long (default 50ms)\n"
    "      --poll INTERVAL  with --watch, poll every folder at this interval\n"
    "                     instead of following the system's events\n"
    "      --pending-after AGE  with --watch and --pairs, say once of each\n"
    "                     command that it has waited longer than AGE\n"
    "      --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 if every file judged is valid; 4 if some file is not "
    "valid\n"
    "or badly named; 3 if some file or directory could not be opened, read "
    "or\n"
    "listed, a path named names nothing, or the command line is bad; 5 if a\n"
    "command has been pending longer than --max-pending.\n";

// The value of an option that takes a number or a length of time, or the
// end of the run with one line that says what it takes.
std::uint64_t count_of(const std::string& option, const std::string& text, std::uint64_t least,
                       std::uint64_t most, const char* what) {
  const std::optional<std::uint64_t> value = parse_count(text, least, most);
  if (!value) bad_command_line(option + " takes " + what + ", not '" + text + "'");
  return *value;
}

std::chrono::milliseconds duration_of(const std::string& option, const std::string& text) {
  const std::optional<std::chrono::milliseconds> value = parse_duration(text);
  if (!value)
    bad_command_line(option + " takes a number and a unit, ms, s, m, h or d (30s, 5m, 2h), not '" +
                     text + "'");
  return *value;
}

// CLI11 takes a word such as -5, or the 5 of -q5, for an operand, as it
// could be a negative number. An operand that begins with a dash is no
// path here unless it follows "--": it is an option that does not exist.
void refuse_dashed_operands(int argc, char** argv, const std::vector<std::string>& paths) {
  std::size_t after_mark = 0;  // operands after "--", the last of `paths`
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--") {
      after_mark = static_cast<std::size_t>(argc - i - 1);
      break;
    }
  }
  for (std::size_t i = 0; i + after_mark < paths.size(); ++i)
    if (paths[i].size() > 1 && paths[i].front() == '-')
      bad_command_line("The following argument was not expected: " + paths[i]);
}

}  // namespace

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
  // Numbers and lengths of time are taken as words and read strictly below.
  std::string min_age, max_depth, min_files, jobs, max_pending, settle, pending_after, poll, io;
  app.add_option("--min-age", min_age);
  app.add_option("--max-depth", max_depth);
  app.add_flag("-x,--one-file-system", options.one_file_system);
  app.add_option("--min-files", min_files);
  app.add_option("--max-pending", max_pending);
  app.add_flag("--watch", options.watch);
  app.add_option("--settle", settle);
  app.add_option("--pending-after", pending_after);
  app.add_option("--poll", poll);
  app.add_option("-j,--jobs", jobs);
  app.add_option("--io", io);
  app.add_option("--files-from", options.files_from);
  app.add_flag("-0,--null", options.null_separated);
  std::vector<std::string> labels;
  CLI::Option* const metrics = app.add_option("--metrics", options.metrics);
  app.add_option("--label", labels)->allow_extra_args(false);
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
  refuse_dashed_operands(argc, argv, options.paths);
  if (!min_age.empty()) options.min_age = duration_of("--min-age", min_age);
  if (!max_depth.empty())
    options.max_depth = static_cast<int>(
        count_of("--max-depth", max_depth, 0, INT_MAX, "a number of levels, 0 or more"));
  options.min_files_given = !min_files.empty();
  if (!min_files.empty())
    options.min_files = count_of("--min-files", min_files, 0, UINT64_MAX, "a number of files, 0 or more");
  if (!max_pending.empty()) {
    if (!options.pairs) bad_command_line("--max-pending applies to --pairs, which is not given");
    options.max_pending = duration_of("--max-pending", max_pending);
  }
  if (!settle.empty()) {
    if (!options.watch) bad_command_line("--settle applies to --watch, which is not given");
    options.settle = duration_of("--settle", settle);
  }
  if (options.watch && !options.files_from.empty())
    bad_command_line("--watch watches the paths named: not with --files-from");
  if (!poll.empty()) {
    if (!options.watch) bad_command_line("--poll applies to --watch, which is not given");
    options.poll = duration_of("--poll", poll);
    if (options.poll->count() == 0) bad_command_line("--poll takes an interval longer than 0");
  }
  if (!pending_after.empty()) {
    if (!options.watch || !options.pairs)
      bad_command_line("--pending-after applies to --watch with --pairs, which are not both given");
    options.pending_after = duration_of("--pending-after", pending_after);
  }
  if (!jobs.empty())
    options.jobs = static_cast<unsigned>(count_of("--jobs", jobs, 1, 1024, "a number of threads from 1 to 1024"));
  if (io == "threads")
    options.io = Io::threads;
  else if (io == "uring")
    options.io = Io::uring;
  else if (!io.empty() && io != "auto")
    bad_command_line("--io takes auto, threads or uring, not '" + io + "'");
  for (const std::string& label : labels) {
    const std::size_t equals = label.find('=');
    if (equals == std::string::npos) bad_command_line("--label takes KEY=VALUE, not '" + label + "'");
    const std::string key = label.substr(0, equals);
    const std::string_view fault = label_key_fault(key);
    if (!fault.empty())
      bad_command_line("--label: the key '" + key + "' must be one that " + std::string(fault));
    for (const auto& given : options.labels)
      if (given.first == key) bad_command_line("--label: the key '" + key + "' is given twice");
    // A label is written into the JSON records and the metrics as it is:
    // a value that is not UTF-8 would make both unreadable.
    const std::string_view value = std::string_view(label).substr(equals + 1);
    for (std::size_t at = 0; at < value.size();) {
      const std::size_t length = utf8_sequence(value, at);
      if (length == 0) bad_command_line("--label: the value of '" + key + "' is not UTF-8 text");
      at += length;
    }
    options.labels.emplace_back(key, value);
  }
  if (metrics->count() > 0 && options.metrics.empty()) bad_command_line("--metrics takes a file name");
  if (options.paths.empty() && options.files_from.empty())
    bad_command_line("no path given, and no --files-from");
  if (options.null_separated && options.files_from.empty())
    bad_command_line("-0 applies to --files-from, which is not given");
  if (options.print0 && !options.failure_paths)
    bad_command_line("--print0 applies to -l, which is not given");
  if (options.failure_paths && (options.json || options.summary_only))
    bad_command_line("-l prints paths alone: not with --json or --summary");
  return options;
}

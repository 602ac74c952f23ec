#include "judge.h"

#include <cerrno>
#include <utility>

#include "directories.h"

#include "read_strategy.h"

FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name, std::int64_t min_age) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  if (report.name.kind == NameKind::rejected) {
    report.verdict = Verdict::bad_name;
    // The tool checks a name before it opens anything; a mistyped operand
    // is still a bad name, but the user is told that it names nothing.
    if (parent == nullptr) report.exists = path_exists(report.path);
    return report;
  }
  switch (read_file(parent, name, report.path, report.read, report.kind,
                    report.error, min_age)) {
    case ReadOutcome::vanished:
      report.verdict = Verdict::vanished;
      return report;
    case ReadOutcome::cannot_open:
      report.verdict = Verdict::cannot_open;
      return report;
    case ReadOutcome::not_regular:
      report.verdict = Verdict::skipped;
      return report;
    case ReadOutcome::read:
      break;
  }
  report.content = check_content(report.read.checked());
  report.verdict = report.content.failed == ContentTest::none
                       ? Verdict::valid
                       : Verdict::not_valid;
  return report;
}

FileReport skipped_entry(std::string path, EntryKind kind) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::skipped;
  report.kind = kind;
  return report;
}

FileReport unlisted_directory(std::string path, SystemError error) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::cannot_open;
  report.kind = EntryKind::directory;
  report.error = std::move(error);
  return report;
}

FileReport directory_named_like_a_file(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  report.verdict = Verdict::cannot_open;
  report.error = system_error(EISDIR);
  return report;
}

FileReport vanished_entry(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::vanished;
  return report;
}

FileReport excluded_entry(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::excluded;
  return report;
}

#include "judge/judge.h"

#include <cerrno>
#include <exception>
#include <new>
#include <utility>

#include "judge/read_strategy.h"
#include "platform/directories.h"

FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name, const JudgeOptions& options) {
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
                    report.error, options.min_age)) {
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

FileReport judge_or_report(std::string path, const Directory* parent,
                           const std::string& name, const JudgeOptions& options) {
  std::string kept = path;
  try {
    return judge_file(std::move(path), parent, name, options);
  } catch (const std::exception& failure) {
    FileReport report;
    report.path = std::move(kept);
    report.verdict = Verdict::cannot_open;
    report.error = {failure.what(),
                    dynamic_cast<const std::bad_alloc*>(&failure) ? ENOMEM : 0};
    return report;
  }
}

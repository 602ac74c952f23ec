#include "judge/judge.h"

#include <cerrno>
#include <exception>
#include <new>
#include <utility>

#include "judge/read_strategy.h"
#include "platform/directories.h"
#include "platform/errors.h"

namespace {

void judge_content(FileReport& report) {
  report.content = check_content(report.read.checked());
  report.verdict = report.content.failed == ContentTest::none
                       ? Verdict::valid
                       : Verdict::not_valid;
}

// What cannot be judged for want of memory, or for any other failure of
// the inspector itself, is reported as a file that could not be read.
FileReport unjudged(std::string path, const std::exception& failure) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::cannot_open;
  report.error = {failure.what(),
                  dynamic_cast<const std::bad_alloc*>(&failure) ? ENOMEM : 0};
  return report;
}

FileReport judge_read(std::string path, FileReader& file, std::uint64_t size,
                      std::int64_t modified) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  report.regular = true;
  if (report.name.kind == NameKind::rejected) {
    report.verdict = Verdict::bad_name;
    return report;
  }
  report.read.modified = modified;
  report.read.dated = true;
  if (!read_regular(file, size, report.read, report.error)) {
    report.verdict = Verdict::cannot_open;
    return report;
  }
  judge_content(report);
  return report;
}

}  // namespace

FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name, const JudgeOptions& options) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  // A walk found a regular file; an operand is looked at first. One that
  // names nothing is no file to judge: the tool would call a mistyped name
  // a bad name, but the inspector's operands are paths to audit, and a
  // spool that is not there must not pass for a file.
  report.regular = parent != nullptr;
  if (parent == nullptr) {
    int error = 0;
    EntryKind kind = look_up(report.path, false, error);
    if (error != 0) {
      report.verdict = Verdict::cannot_open;
      report.missing = true;
      report.exists = error != ENOENT && error != ENOTDIR;
      report.error = system_error(error);
      return report;
    }
    if (kind == EntryKind::symlink) kind = look_up(report.path, true, error);
    report.regular = error == 0 && kind == EntryKind::regular;
  }
  if (report.name.kind == NameKind::rejected) {
    report.verdict = Verdict::bad_name;
    return report;
  }
  switch (read_file(parent, name, report.path, report.read, report.kind,
                    report.error, options.min_age)) {
    case ReadOutcome::vanished:
      report.verdict = Verdict::vanished;
      return report;
    case ReadOutcome::cannot_open:
      report.verdict = Verdict::cannot_open;
      if (report.error.number == EISDIR) report.regular = false;
      return report;
    case ReadOutcome::not_regular:
      report.verdict = Verdict::skipped;
      return report;
    case ReadOutcome::read:
      break;
  }
  judge_content(report);
  return report;
}

FileReport judge_or_report(std::string path, const Directory* parent,
                           const std::string& name, const JudgeOptions& options) {
  std::string kept = path;
  try {
    return judge_file(std::move(path), parent, name, options);
  } catch (const std::exception& failure) {
    return unjudged(std::move(kept), failure);
  }
}

FileReport judge_opened(std::string path, FileReader& file, std::uint64_t size,
                        std::int64_t modified) {
  std::string kept = path;
  try {
    return judge_read(std::move(path), file, size, modified);
  } catch (const std::exception& failure) {
    return unjudged(std::move(kept), failure);
  }
}

#include "judge.h"

#include <utility>

std::string trimmed_argument(std::string argument) {
  if (!argument.empty() && argument.front() == '"') argument.erase(0, 1);
  if (!argument.empty() && argument.back() == '"') argument.pop_back();
  return argument;
}

FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  if (report.name.kind == NameKind::rejected) {
    report.verdict = Verdict::bad_name;
    return report;
  }
  switch (read_file(parent, name, report.path, report.read, report.kind,
                    report.error)) {
    case ReadOutcome::cannot_open:
      report.verdict = Verdict::cannot_open;
      return report;
    case ReadOutcome::not_regular:
      report.verdict = Verdict::skipped;
      return report;
    case ReadOutcome::read:
      break;
  }
  report.content = check_content(report.read.parts());
  report.verdict = report.content.failed == ContentTest::passed
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

FileReport unlisted_directory(std::string path, std::string error) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::cannot_open;
  report.kind = EntryKind::directory;
  report.error = std::move(error);
  return report;
}

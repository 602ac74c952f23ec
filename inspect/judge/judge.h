// Judging one file by the tool's own rules: its name, then what the checks
// read of it. The judge reads and decides; it never prints.
#ifndef TARNWICK_INSPECT_JUDGE_JUDGE_H
#define TARNWICK_INSPECT_JUDGE_JUDGE_H

#include <chrono>
#include <cstdint>
#include <string>

#include "model/report.h"
#include "platform/file_reader.h"

struct Directory;

// What the judge is asked besides the file.
struct JudgeOptions {
  // A regular file changed more recently is not read, and is reported
  // young: a writer may still be at it.
  std::chrono::milliseconds min_age{0};
};

// Judges the file at `path`, as the tool judges it: the name first, then
// the content. `parent` and `name` say where a walk found it; a file the
// user named has no parent.
FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name, const JudgeOptions& options);

// The same, for a run that must go on: a file that cannot be judged, for
// want of memory, is reported as one that could not be read.
FileReport judge_or_report(std::string path, const Directory* parent,
                           const std::string& name, const JudgeOptions& options);

// A regular file that a walk found and that was opened already, its
// kind, `size` and `modified` time found then and its reads perhaps made
// ahead: judged as judge_file judges it, from what `file` gives, a file
// that cannot be judged for want of memory as one that could not be read.
FileReport judge_opened(std::string path, FileReader& file, std::uint64_t size,
                        std::int64_t modified);

#endif

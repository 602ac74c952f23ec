// Judging one file by the tool's own rules. The judge reads and decides;
// it never prints.
#ifndef TARNWICK_INSPECT_JUDGE_H
#define TARNWICK_INSPECT_JUDGE_H

#include <string>

#include "report.h"

struct Directory;

// Judges the file at `path`, as the tool judges it: the name first, then
// the content. `parent` and `name` say where a walk found it; a file the
// user named has no parent.
FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name);

// The report for an entry that a walk does not judge.
FileReport skipped_entry(std::string path, EntryKind kind);

// The report for a directory that could not be listed.
FileReport unlisted_directory(std::string path, std::string error);

#endif

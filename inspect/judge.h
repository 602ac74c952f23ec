// Judging one file by the tool's own rules. The judge reads and decides;
// it never prints.
#ifndef TARNWICK_INSPECT_JUDGE_H
#define TARNWICK_INSPECT_JUDGE_H

#include <cstdint>
#include <string>

#include "report.h"

struct Directory;

// Judges the file at `path`, as the tool judges it: the name first, then
// the content. `parent` and `name` say where a walk found it; a file the
// user named has no parent. A regular file modified less than `min_age`
// seconds ago is skipped, as young.
FileReport judge_file(std::string path, const Directory* parent,
                      const std::string& name, std::int64_t min_age = 0);

// The report for an entry that a walk does not judge.
FileReport skipped_entry(std::string path, EntryKind kind);

// The report for a directory that could not be listed.
FileReport unlisted_directory(std::string path, SystemError error);

// The report for a directory that a walk found with a file's name: the
// tool cannot open it, so neither can the inspector.
FileReport directory_named_like_a_file(std::string path);

// The report for an entry that a walk found and then could not find, and
// for one that the user asked to leave out.
FileReport vanished_entry(std::string path);
FileReport excluded_entry(std::string path);

#endif

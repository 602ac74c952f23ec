// The walk: every operand in order, directories depth first with their
// entries sorted by name. It finds files and hands them on to be judged,
// with the reports of what needs no judging (a folder that cannot be
// listed, an entry left out, a link); it never reads a file.
#ifndef TARNWICK_INSPECT_WALK_WALK_H
#define TARNWICK_INSPECT_WALK_WALK_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "model/report.h"
#include "platform/directories.h"

// Gives the operands one at a time: false when there are no more.
using OperandSource = std::function<bool(std::string& operand)>;

// What a walk finds, in the order it is to be reported: a file to judge,
// where the walk found it, or a report made already.
struct WalkItem {
  FileReport report;          // the path; the whole report when `judged`
  DirectoryHandle directory;  // the folder it was found in; null for an
                              // operand
  std::string name;           // its name there
  bool judged = false;
};

// How a walk goes, besides the order.
struct WalkOptions {
  std::vector<std::string> excluded;  // globs: entries whose name matches
                                      // are left out, and counted
  int max_depth = -1;                 // levels below an operand; -1: all
  bool one_file_system = false;       // stay on each operand's file system
};

// Takes each item, in order.
using Emit = std::function<void(WalkItem&& item)>;

// Called before a directory is opened, with the number the walk holds open
// on its own way down: it may wait until enough descriptors are free.
using MakeRoom = std::function<void(std::size_t held_by_walk)>;

// Walks what the operands name and hands every item to `emit`. An operand
// is trimmed as the tool trims an argument; one that names a directory is
// walked, unless its name has a file's form: then, like every other
// operand, it is a file to judge, as the tool would judge it.
void walk_operands(const OperandSource& operands, const WalkOptions& options,
                   const Emit& emit, const MakeRoom& make_room);

// The reports of what a walk finds and does not judge.
FileReport skipped_entry(std::string path, EntryKind kind);
FileReport unlisted_directory(std::string path, SystemError error);
// A directory with a file's name: the tool cannot open it, so neither can
// the inspector.
FileReport directory_named_like_a_file(std::string path);
// Found, and gone when it was opened (or listed); and left out, as the
// user asked.
FileReport vanished_entry(std::string path);
FileReport excluded_entry(std::string path);

#endif

// What a walk asks of the platform: directory listings, held open while
// anything in them waits to be judged. platform_posix.cpp and
// platform_win32.cpp give it.
#ifndef TARNWICK_INSPECT_DIRECTORIES_H
#define TARNWICK_INSPECT_DIRECTORIES_H

#include <memory>
#include <string>
#include <vector>

#include "report.h"

// A directory of a walk, held open while anything in it waits to be
// judged, so that its entries are opened relative to it.
struct Directory;
using DirectoryHandle = std::shared_ptr<const Directory>;

struct Entry {
  std::string name;
  EntryKind kind;
};

struct Listing {
  DirectoryHandle directory;   // null when it could not be listed
  std::vector<Entry> entries;  // in the order the system gave them
  std::string error;           // the system's reason, when it could not
};

// Lists `name` in `parent` (`path` when `parent` is null). A link is never
// followed to a directory here, except when the user named it: `parent` is
// null.
Listing list_directory(const Directory* parent, const std::string& name,
                       const std::string& path);

// Does the path, following links, name a directory?
bool is_directory(const std::string& path);

// The separator that a walk puts between a directory and an entry.
extern const char PATH_SEPARATOR;

// Lets the walk hold as many directories open as the system allows.
void raise_open_file_limit();

#endif

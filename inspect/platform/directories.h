// What a walk asks of the platform: directory listings, held open while
// anything in them waits to be judged. posix/listing.cpp and
// win32/listing.cpp give it.
#ifndef TARNWICK_INSPECT_PLATFORM_DIRECTORIES_H
#define TARNWICK_INSPECT_PLATFORM_DIRECTORIES_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/report.h"

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
  SystemError error;           // the system's reason, when it could not
  bool vanished = false;       // it could not, as it is gone
  bool other_device = false;   // not listed: on another file system
  std::uint64_t device = 0;    // the file system it is on
};

// Lists `name` in `parent` (`path` when `parent` is null). A link is never
// followed to a directory here, except when the user named it: `parent` is
// null. With `same_device`, a directory on another file system is not
// listed.
Listing list_directory(const Directory* parent, const std::string& name,
                       const std::string& path,
                       const std::uint64_t* same_device = nullptr);

// Whether the path names anything, a dangling link included: false only
// when the system says that nothing is there.
bool path_exists(const std::string& path);

// What is at a path, following links when `follow`: its kind, with
// `error` 0; or, when nothing could be looked at, the system's error
// number: ENOENT or ENOTDIR when nothing is there, EACCES when a folder on
// the way cannot be entered.
EntryKind look_up(const std::string& path, bool follow, int& error);

// When what is at `path` last changed (for a folder: an entry added,
// renamed or taken), as the system keeps it; empty when it cannot be told.
std::optional<std::chrono::system_clock::time_point> last_change(const std::string& path);

// Does the path, following links, name a directory?
bool is_directory(const std::string& path);

// The separator that a walk puts between a directory and an entry.
extern const char PATH_SEPARATOR;

#endif

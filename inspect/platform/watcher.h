// What the watch asks of the platform: to be told when a folder's entries
// change, to be woken by the stop and relist signals, and what a file is
// now (its identity, size and last change). posix/watcher.cpp gives it
// with inotify and a signalfd; win32/watcher.cpp says it has none yet.
#ifndef TARNWICK_INSPECT_PLATFORM_WATCHER_H
#define TARNWICK_INSPECT_PLATFORM_WATCHER_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/report.h"

// What a file is now: the same file, unchanged, has the same four.
struct FileState {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // its last change, since 1970
  bool operator==(const FileState&) const = default;
};

// What happened in a watched folder. `name` is the entry's; empty when the
// event is the folder's own.
enum WatchChange : unsigned {
  written = 1u << 0,      // closed after writing
  moved_in = 1u << 1,     // renamed into the folder
  moved_out = 1u << 2,    // renamed out of it
  made = 1u << 3,         // made in it (acted on for folders only)
  removed = 1u << 4,      // unlinked from it
  folder_gone = 1u << 5,  // the watched folder itself deleted: unwatched
  folder_moved = 1u << 8, // the watched folder itself renamed
  is_folder = 1u << 6,    // the entry is a folder
  overflow = 1u << 7,     // events were lost: list everything again
};

struct WatchEvent {
  int folder = -1;  // the watch it came from; -1 for an overflow
  unsigned what = 0;
  std::uint32_t cookie = 0;  // pairs a moved_out with its moved_in
  std::string name;
};

// Why a wait ended.
enum class Wake { events, timeout, stop, relist };

class Watcher {
 public:
  virtual ~Watcher() = default;
  // Watches the entries of the folder at `path`: the watch's number, or -1
  // with the system's reason. The same folder watched twice keeps its
  // number.
  virtual int add(const std::string& path, SystemError& error) = 0;
  virtual void remove(int folder) = 0;
  // Waits for events, a signal or `timeout` (none: for ever). Events read
  // are appended to `events`; a stop or a relist asked by a signal is said
  // once, after the events read before it.
  virtual Wake wait(std::optional<std::chrono::milliseconds> timeout,
                    std::vector<WatchEvent>& events) = 0;
};

// The platform's watcher; null, with the reason, where there is none. It
// takes the stop and relist signals from the whole process (call it before
// any thread starts).
std::unique_ptr<Watcher> open_watcher(SystemError& error);

// Whether the folder at `path` is on a network file system (NFS, CIFS),
// where the system does not see the writes of other machines: such a
// folder is polled.
bool on_network_file_system(const std::string& path);

// The file system of the folder at `path` (0 where the system does not
// tell it); false when nothing is there.
bool folder_device(const std::string& path, std::uint64_t& device);

// What is at `path`, not following a link: a regular file's state and
// true; false when it is no regular file or is gone.
bool regular_file_state(const std::string& path, FileState& state);

#endif

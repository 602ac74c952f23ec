// What the watch says of itself, beside the files it judges: that it
// watches, that a folder named is gone or back, that it listed its folders
// again, that part of the tree cannot be watched.
#ifndef TARNWICK_INSPECT_MODEL_WATCH_RECORD_H
#define TARNWICK_INSPECT_MODEL_WATCH_RECORD_H

#include <cstdint>
#include <string>

enum class WatchNotice {
  started,     // the audit is done and every folder is watched
  root_gone,   // a folder named was deleted or moved away: waiting for it
  root_back,   // it is there again, watched and listed
  relisted,    // the folders listed again: events were lost, or on SIGHUP
  unwatched,   // a folder that cannot be watched
  polled,      // a folder, and those below it, polled instead of watched
};

struct WatchRecord {
  WatchNotice notice = WatchNotice::started;
  std::string path;            // the folder, for all but started, relisted
  std::uint64_t folders = 0;   // started, relisted: the folders watched
  std::uint64_t changed = 0;   // relisted: the files found new or changed
  std::string reason;          // relisted: "overflow" or "hangup";
                               // unwatched, polled: why
  std::uint64_t polled = 0;    // started: the folders polled
  std::uint64_t every_ms = 0;  // started (when any is polled), polled:
                               // the interval of the polls
};

#endif

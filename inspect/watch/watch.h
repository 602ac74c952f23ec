// The watch: after the audit, every file that lands in the folders named,
// or changes there, is judged once it has settled, and reported; the tree
// may change under it (folders made, deleted, renamed; a folder named
// deleted and made again), and events lost are made up for by listing
// the folders again.
#ifndef TARNWICK_INSPECT_WATCH_WATCH_H
#define TARNWICK_INSPECT_WATCH_WATCH_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "judge/judge.h"
#include "model/report.h"
#include "model/watch_record.h"
#include "platform/watcher.h"
#include "watch/settle.h"

struct WatchOptions {
  std::vector<std::string> roots;     // the folders named
  std::vector<std::string> excluded;  // globs, as --exclude
  std::chrono::milliseconds settle{50};
  JudgeOptions judge;                 // its --min-age is the watch's own
  // --poll: every folder polled at this interval, none watched.
  std::optional<std::chrono::milliseconds> poll;
  int max_depth = -1;            // levels below a folder named, as the walk's
  bool one_file_system = false;  // stay on each folder named's file system
};

// How often a folder that cannot be watched is polled, without --poll.
inline constexpr std::chrono::milliseconds FALLBACK_POLL{2000};

// What the watch tells of the files, and the alarm of whoever keeps a
// clock of their own (the live queue of pairs).
struct WatchHooks {
  std::function<void(FileReport&& report)> report;  // a file judged
  std::function<void(const std::string& path)> gone = nullptr;  // a file unlinked or moved out
  // When the alarm is next due, in milliseconds since 1970; none: never.
  std::function<std::optional<std::int64_t>()> next_alarm = nullptr;
  std::function<void()> ring = nullptr;  // called on every wake
  std::function<void()> flush = nullptr; // before each wait: what was said goes out
};
using WatchNotices = std::function<void(const WatchRecord& record)>;

// How often a folder named and gone is looked for.
inline constexpr std::int64_t ROOT_LOOK_MS = 1000;

class Watch {
 public:
  Watch(WatchOptions options, Watcher& watcher, WatchNotices notices);
  // Watches and lists the folders, before the audit: what lands during
  // the audit is seen, and what the audit judges is known.
  void start();
  // Judges what lands, until a stop signal.
  void run(const WatchHooks& hooks);
  std::size_t folders() const { return folders_.size(); }

 private:
  struct Folder {
    std::string path;
    std::string root;  // the folder named that it is under
    int depth = 0;     // levels below it
    std::uint64_t device = 0;  // the file system of the folder named
    std::map<std::string, FileState> files;  // judged, or known at start
  };

  // `depth`: levels below the folder named; `device`: its file system's.
  void add_tree(const std::string& path, const std::string& root, bool starting, bool parent_polled = false,
                int depth = 0, std::uint64_t device = 0);
  void list_folder(int id, bool starting, bool whole_tree);
  void poll_folders();
  std::int64_t poll_ms() const;
  void forget_tree(const std::string& path);
  void consider(int folder, const std::string& name, std::int64_t due);
  void handle(const WatchEvent& event, std::map<std::uint32_t, std::string>& renamed, const WatchHooks& hooks);
  void rename_tree(const std::string& from, const std::string& to, int depth);
  void relist(const std::string& reason);
  void judge_due(const WatchHooks& hooks);
  void look_for_roots();
  bool excluded(const std::string& name) const;

  WatchOptions options_;
  Watcher& watcher_;
  WatchNotices notices_;
  // By watch number; a polled folder has a number below -1.
  std::map<int, Folder> folders_;
  void erase_folder(std::map<int, Folder>::iterator place);
  std::map<std::string, int> polled_ids_;  // the polled folders, by path
  int next_polled_id_ = -2;
  std::int64_t next_poll_ = 0;
  std::vector<std::string> gone_folders_;  // polled folders found gone
  const WatchHooks* hooks_ = nullptr;      // while it runs
  SettleTable waiting_;
  std::vector<std::string> roots_gone_;
  std::int64_t next_root_look_ = 0;
  std::uint64_t found_ = 0;  // files found changed by a relist
  std::set<int> visited_;    // folders a relist reached
};

#endif

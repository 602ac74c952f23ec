#include "watch/watch.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/directories.h"
#include "walk/glob.h"
#include "watch/relist.h"

namespace {

std::int64_t steady_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t wall_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool under(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == PATH_SEPARATOR);
}

// A folder named with a separator at its end, "spool/", is the folder
// "spool": its entries are joined as the walk joins them.
std::string without_end_separator(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == PATH_SEPARATOR)) path.pop_back();
  return path;
}

}  // namespace

Watch::Watch(WatchOptions options, Watcher& watcher, WatchNotices notices)
    : options_(std::move(options)), watcher_(watcher), notices_(std::move(notices)) {
  for (std::string& root : options_.roots) root = without_end_separator(std::move(root));
}

bool Watch::excluded(const std::string& name) const {
  return std::any_of(options_.excluded.begin(), options_.excluded.end(),
                     [&](const std::string& glob) { return glob_matches(glob, name); });
}

void Watch::start() {
  for (const std::string& root : options_.roots) {
    if (is_directory(root))
      add_tree(root, root, true);
    else if (!path_exists(root))
      roots_gone_.push_back(root);
    // A file named is judged by the audit alone.
  }
  next_root_look_ = steady_ms() + ROOT_LOOK_MS;
}

// Watched first, then listed: a file that lands in between is in the
// listing, or its event comes, or both (and it is judged once). A folder
// that cannot be watched, for want of watches, or on a network file
// system, is polled, and so is all below it.
void Watch::add_tree(const std::string& path, const std::string& root, bool starting, bool parent_polled,
                     int depth, std::uint64_t device) {
  // As the walk: --max-depth N lists the folders less than N levels down,
  // -x none on another file system.
  if (options_.max_depth >= 0 && depth >= options_.max_depth) return;
  if (options_.one_file_system) {
    std::uint64_t own = 0;
    if (!folder_device(path, own)) return;
    if (depth == 0)
      device = own;
    else if (own != device)
      return;
  }
  bool polled = options_.poll.has_value();
  std::string why;
  int id = -1;
  if (!polled && on_network_file_system(path)) {
    polled = true;
    why = "on a network file system";
  }
  if (!polled) {
    SystemError error;
    id = watcher_.add(path, error);
    if (id < 0 && error.number == ENOSPC) {
      polled = true;
      why = error.text;
    } else if (id < 0) {
      if (error.number != ENOENT && error.number != ENOTDIR)
        notices_({WatchNotice::unwatched, path, 0, 0, error.text, 0, 0});
      return;
    }
  }
  if (polled) {
    const auto known = polled_ids_.find(path);
    id = known != polled_ids_.end() ? known->second : next_polled_id_--;
    if (known == polled_ids_.end()) {
      polled_ids_.emplace(path, id);
      if (!parent_polled && !why.empty())
        notices_({WatchNotice::polled, path, 0, 0, why, 0, static_cast<std::uint64_t>(poll_ms())});
    }
  }
  visited_.insert(id);
  Folder& folder = folders_[id];
  folder.path = path;
  folder.root = root;
  folder.depth = depth;
  folder.device = device;
  list_folder(id, starting, true);
}

void Watch::list_folder(int id, bool starting, bool whole_tree) {
  Folder& folder = folders_[id];
  const std::string path = folder.path;
  const std::string root = folder.root;
  Listing listing = list_directory(nullptr, path, path);
  if (!listing.directory) {
    if (id < -1 && !is_directory(path)) gone_folders_.push_back(path);  // a poll finds it gone
    return;
  }
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  std::vector<std::pair<std::string, FileState>> files;
  for (const Entry& entry : listing.entries) {
    if (excluded(entry.name)) continue;
    const std::string child = path + PATH_SEPARATOR + entry.name;
    FileState state;
    if (entry.kind == EntryKind::directory) {
      if (whole_tree || polled_ids_.count(child) == 0)
        add_tree(child, root, starting, id < -1, folder.depth + 1, folder.device);
    } else if (regular_file_state(child, state)) {
      files.emplace_back(entry.name, state);
    }
  }
  const std::int64_t now = steady_ms();
  if (starting) {
    // The audit judges what is old enough; the young wait their turn.
    const std::int64_t wall = wall_ms();
    for (const auto& [name, state] : files) {
      const std::int64_t wait =
          still_to_wait(wall, state.modified_ns / 1000000, 0, options_.judge.min_age.count());
      if (wait == 0)
        folder.files[name] = state;
      else
        waiting_.at({id, name}, now + wait);
    }
    return;
  }
  const Relisted changes = relist_changes(folder.files, files);
  for (const std::string& name : changes.gone) {
    folder.files.erase(name);
    if (hooks_ == nullptr || !hooks_->gone) continue;
    std::string gone = path;
    gone += PATH_SEPARATOR;
    gone += name;
    hooks_->gone(gone);
  }
  for (const std::string& name : changes.changed) waiting_.at({id, name}, now);
  found_ += changes.changed.size();
}

std::int64_t Watch::poll_ms() const { return (options_.poll ? *options_.poll : FALLBACK_POLL).count(); }

void Watch::erase_folder(std::map<int, Folder>::iterator place) {
  if (place->first >= 0)
    watcher_.remove(place->first);
  else
    polled_ids_.erase(place->second.path);
  waiting_.drop_folder(place->first);
  folders_.erase(place);
}

void Watch::forget_tree(const std::string& path) {
  for (auto place = folders_.begin(); place != folders_.end();) {
    const auto next = std::next(place);
    if (under(place->second.path, path)) erase_folder(place);
    place = next;
  }
}

// The polled folders, each listed alone: what changed is judged, a folder
// made is added, a folder gone is forgotten (a folder named: looked for).
void Watch::poll_folders() {
  std::vector<int> polled;
  for (const auto& [id, folder] : folders_)
    if (id < -1) polled.push_back(id);
  found_ = 0;
  for (const int id : polled)
    if (folders_.count(id) != 0) list_folder(id, false, false);
  for (const std::string& path : gone_folders_) {
    const bool named = std::find(options_.roots.begin(), options_.roots.end(), path) != options_.roots.end();
    if (named) {
      notices_({WatchNotice::root_gone, path, 0, 0, "", 0, 0});
      roots_gone_.push_back(path);
      next_root_look_ = steady_ms() + ROOT_LOOK_MS;
    }
    forget_tree(path);
  }
  gone_folders_.clear();
  next_poll_ = steady_ms() + poll_ms();
}

void Watch::rename_tree(const std::string& from, const std::string& to, int depth) {
  const auto top = std::find_if(folders_.begin(), folders_.end(),
                                [&](const auto& entry) { return entry.second.path == from; });
  const int shift = top == folders_.end() ? 0 : depth - top->second.depth;
  for (auto& [id, folder] : folders_) {
    if (!under(folder.path, from)) continue;
    if (id < -1) polled_ids_.erase(folder.path);
    folder.path = to + folder.path.substr(from.size());
    folder.depth += shift;
    if (id < -1) polled_ids_[folder.path] = id;
  }
  // Moved deeper than --max-depth reaches: no longer watched.
  if (options_.max_depth < 0) return;
  for (auto place = folders_.begin(); place != folders_.end();) {
    const auto next = std::next(place);
    if (place->second.depth >= options_.max_depth) erase_folder(place);
    place = next;
  }
}

void Watch::handle(const WatchEvent& event, std::map<std::uint32_t, std::string>& renamed,
                   const WatchHooks& hooks) {
  const auto place = folders_.find(event.folder);
  if (place == folders_.end()) return;
  Folder& folder = place->second;
  if (event.name.empty()) {
    if (folder.path == folder.root && (event.what & (folder_gone | folder_moved)) != 0) {
      const std::string root = folder.root;
      notices_({WatchNotice::root_gone, root, 0, 0, "", 0, 0});
      forget_tree(root);
      roots_gone_.push_back(root);
      next_root_look_ = steady_ms() + ROOT_LOOK_MS;
    } else if ((event.what & folder_gone) != 0) {
      erase_folder(place);
    }
    return;
  }
  const std::string child = folder.path + PATH_SEPARATOR + event.name;
  if ((event.what & is_folder) != 0) {
    if ((event.what & moved_out) != 0) renamed[event.cookie] = child;
    if ((event.what & (made | moved_in)) == 0 || excluded(event.name)) return;
    const auto from = renamed.find(event.cookie);
    if ((event.what & moved_in) != 0 && event.cookie != 0 && from != renamed.end()) {
      // Renamed within the tree: its files keep what is known of them.
      rename_tree(from->second, child, folder.depth + 1);
      renamed.erase(from);
    } else {
      add_tree(child, folder.root, false, false, folder.depth + 1, folder.device);
    }
    return;
  }
  const FileKey key{event.folder, event.name};
  if ((event.what & (moved_out | removed)) != 0) {
    folder.files.erase(event.name);
    waiting_.drop(key);
    if (hooks.gone) hooks.gone(child);
  } else if ((event.what & (written | moved_in)) != 0 && !excluded(event.name)) {
    waiting_.at(key, steady_ms() + options_.settle.count());
  }
}

void Watch::relist(const std::string& reason) {
  found_ = 0;
  visited_.clear();
  for (const std::string& root : options_.roots)
    if (std::find(roots_gone_.begin(), roots_gone_.end(), root) == roots_gone_.end() && is_directory(root))
      add_tree(root, root, false);
  // Folders no longer there, or there under another watch: a listing
  // reaches only those that are.
  for (auto place = folders_.begin(); place != folders_.end();) {
    const auto next = std::next(place);
    if (visited_.count(place->first) == 0) erase_folder(place);
    place = next;
  }
  notices_({WatchNotice::relisted, "", folders_.size(), found_, reason, 0, 0});
}

namespace {

// A burst's files are judged on this many threads at once, the cores' count
// at most; fewer files than a batch are judged on the watch's own thread,
// where a thread's start would cost more than it saves.
constexpr std::size_t PARALLEL_FROM = 256;
constexpr unsigned MOST_JUDGES = 8;

// Judges every file of `due` (its path, and its name in its folder) in
// place, its reports in the same order.
struct DueFile {
  std::string path;
  const std::string* name;
  FileReport report;
};
void judge_all(std::vector<DueFile>& due, const JudgeOptions& options) {
  const auto judge_range = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
      due[i].report = judge_or_report(due[i].path, nullptr, *due[i].name, options);
  };
  const unsigned cores = std::max(1U, std::min(MOST_JUDGES, std::thread::hardware_concurrency()));
  if (due.size() < PARALLEL_FROM || cores == 1) {
    judge_range(0, due.size());
    return;
  }
  std::vector<std::thread> judges;
  const std::size_t share = (due.size() + cores - 1) / cores;
  try {
    for (std::size_t from = share; from < due.size(); from += share)
      judges.emplace_back(judge_range, from, std::min(due.size(), from + share));
  } catch (const std::system_error&) {
    // No thread to be had: this one judges what no thread took.
    const std::size_t taken = share * (judges.size() + 1);
    judge_range(std::min(due.size(), taken), due.size());
  }
  judge_range(0, std::min(due.size(), share));
  for (std::thread& judge : judges) judge.join();
}

}  // namespace

void Watch::judge_due(const WatchHooks& hooks) {
  const std::int64_t now = steady_ms();
  // What is due and changed since it was judged, with its state then;
  // judged together, reported in the order they came due.
  std::vector<FileKey> taken = waiting_.take_due(now);
  std::vector<std::pair<const FileKey*, FileState>> keys;
  std::vector<DueFile> due;
  for (const FileKey& key : taken) {
    const auto place = folders_.find(key.folder);
    if (place == folders_.end()) continue;
    Folder& folder = place->second;
    std::string path = folder.path + PATH_SEPARATOR + key.name;
    FileState state;
    if (!regular_file_state(path, state)) {
      folder.files.erase(key.name);
      continue;
    }
    const auto known = folder.files.find(key.name);
    if (known != folder.files.end() && known->second == state) continue;  // judged as it is
    const std::int64_t wait = still_to_wait(wall_ms(), state.modified_ns / 1000000, options_.settle.count(),
                                            options_.judge.min_age.count());
    if (wait > 0) {
      waiting_.at(key, now + wait);
      continue;
    }
    keys.emplace_back(&key, state);
    due.push_back({std::move(path), &key.name, FileReport{}});
  }
  JudgeOptions judge = options_.judge;
  judge.min_age = std::chrono::milliseconds(0);  // waited for above
  judge_all(due, judge);
  for (std::size_t i = 0; i < due.size(); ++i) {
    const FileKey& key = *keys[i].first;
    const auto place = folders_.find(key.folder);
    if (place == folders_.end()) continue;
    Folder& folder = place->second;
    FileReport& report = due[i].report;
    if (report.verdict == Verdict::vanished || (report.verdict == Verdict::cannot_open && report.missing)) {
      folder.files.erase(key.name);  // taken by a consumer before it was read
      continue;
    }
    folder.files[key.name] = keys[i].second;
    hooks.report(std::move(report));
  }
}

void Watch::look_for_roots() {
  if (roots_gone_.empty() || steady_ms() < next_root_look_) return;
  std::vector<std::string> still_gone;
  for (const std::string& root : roots_gone_) {
    if (is_directory(root)) {
      notices_({WatchNotice::root_back, root, 0, 0, "", 0, 0});
      add_tree(root, root, false);
    } else {
      still_gone.push_back(root);
    }
  }
  roots_gone_ = std::move(still_gone);
  next_root_look_ = steady_ms() + ROOT_LOOK_MS;
}

void Watch::run(const WatchHooks& hooks) {
  hooks_ = &hooks;
  std::uint64_t polled = 0;
  for (const auto& [id, folder] : folders_)
    if (id < -1) ++polled;
  notices_({WatchNotice::started, "", folders_.size(), 0, "", polled,
            polled > 0 ? static_cast<std::uint64_t>(poll_ms()) : 0});
  next_poll_ = steady_ms() + poll_ms();
  std::vector<WatchEvent> events;
  for (;;) {
    if (!polled_ids_.empty() && steady_ms() >= next_poll_) poll_folders();
    judge_due(hooks);
    look_for_roots();
    if (hooks.ring) hooks.ring();
    std::optional<std::int64_t> next = waiting_.next();
    if (!roots_gone_.empty()) next = next ? std::min(*next, next_root_look_) : next_root_look_;
    if (!polled_ids_.empty()) next = next ? std::min(*next, next_poll_) : next_poll_;
    const std::optional<std::int64_t> alarm = hooks.next_alarm ? hooks.next_alarm() : std::nullopt;
    if (alarm) {
      const std::int64_t at = steady_ms() + std::max<std::int64_t>(0, *alarm - wall_ms());
      next = next ? std::min(*next, at) : at;
    }
    std::optional<std::chrono::milliseconds> timeout;
    if (next) timeout = std::chrono::milliseconds(std::max<std::int64_t>(0, *next - steady_ms()));
    if (hooks.flush) hooks.flush();
    events.clear();
    const Wake wake = watcher_.wait(timeout, events);
    std::map<std::uint32_t, std::string> moved_out;
    bool overflowed = false;
    for (const WatchEvent& event : events) {
      if ((event.what & overflow) != 0)
        overflowed = true;
      else
        handle(event, moved_out, hooks);
    }
    for (const auto& [cookie, path] : moved_out) forget_tree(path);  // moved out of the tree
    if (overflowed) relist("overflow");
    if (wake == Wake::relist) relist("hangup");
    if (wake == Wake::stop) {
      hooks_ = nullptr;
      return;
    }
  }
}

// The files a watch waits to judge, each with the moment it may be: a file
// is judged once it has been closed and left alone for the settle time,
// and once it is as old as --min-age asks. Plain bookkeeping: the times
// are given, in milliseconds of the caller's clock.
#ifndef TARNWICK_INSPECT_WATCH_SETTLE_H
#define TARNWICK_INSPECT_WATCH_SETTLE_H

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A file of a watched folder: the folder's watch number and the name.
struct FileKey {
  int folder = -1;
  std::string name;
  auto operator<=>(const FileKey&) const = default;
};

class SettleTable {
 public:
  // The file may be judged at `due`, not before: a later event for the same
  // file moves its moment, to the later one.
  void at(const FileKey& key, std::int64_t due);
  void drop(const FileKey& key);
  void drop_folder(int folder);
  // Takes out the files due at `now`, the earliest first.
  std::vector<FileKey> take_due(std::int64_t now);
  // The earliest moment a file is due; none when no file waits.
  std::optional<std::int64_t> next() const;
  std::size_t size() const { return due_.size(); }

 private:
  std::map<FileKey, std::int64_t> due_;
  std::set<std::pair<std::int64_t, FileKey>> order_;
};

// How long a file last changed at `modified` must still wait, at `now`
// (both on the wall clock): until it has been left alone for `settle` and
// is `min_age` old. A file dated in the future waits no longer than both,
// so that a wrong clock never holds it for ever.
std::int64_t still_to_wait(std::int64_t now, std::int64_t modified, std::int64_t settle,
                           std::int64_t min_age);

#endif

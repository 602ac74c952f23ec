#include "watch/settle.h"

#include <algorithm>

void SettleTable::at(const FileKey& key, std::int64_t due) {
  const auto [place, added] = due_.try_emplace(key, due);
  if (!added) {
    if (place->second >= due) return;
    order_.erase({place->second, key});
    place->second = due;
  }
  order_.emplace(due, key);
}

void SettleTable::drop(const FileKey& key) {
  const auto place = due_.find(key);
  if (place == due_.end()) return;
  order_.erase({place->second, key});
  due_.erase(place);
}

void SettleTable::drop_folder(int folder) {
  auto place = due_.lower_bound(FileKey{folder, ""});
  while (place != due_.end() && place->first.folder == folder) {
    order_.erase({place->second, place->first});
    place = due_.erase(place);
  }
}

std::vector<FileKey> SettleTable::take_due(std::int64_t now) {
  std::vector<FileKey> due;
  while (!order_.empty() && order_.begin()->first <= now) {
    due.push_back(order_.begin()->second);
    due_.erase(due.back());
    order_.erase(order_.begin());
  }
  return due;
}

std::optional<std::int64_t> SettleTable::next() const {
  if (order_.empty()) return std::nullopt;
  return order_.begin()->first;
}

std::int64_t still_to_wait(std::int64_t now, std::int64_t modified, std::int64_t settle,
                           std::int64_t min_age) {
  const std::int64_t longest = std::max(settle, min_age);
  const std::int64_t wait = std::max<std::int64_t>(0, modified + longest - now);
  return std::min(wait, longest);
}

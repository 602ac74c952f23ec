#include "pairs/pair_stream.h"

#include <algorithm>
#include <utility>

// A walk gives a folder's entries, subfolders and all, between the folder
// X…in and X…out, which sort in that order among their siblings: the walk
// has left the pair when it gives a path outside that span.
bool PairStream::Open::holds(std::string_view path) const {
  const std::string_view parent(common.data(), parent_size);
  if (!path.starts_with(parent)) return false;
  std::string_view child = path.substr(parent_size);
  child = child.substr(0, static_cast<std::size_t>(
                              std::find_if(child.begin(), child.end(), is_path_separator) -
                              child.begin()));
  const std::string_view name = std::string_view(common).substr(parent_size);
  const std::string first = std::string(name) + std::string(RESPONSE_FOLDER_END);
  const std::string last = std::string(name) + std::string(COMMAND_FOLDER_END);
  return child >= first && child <= last;
}

void PairStream::add(const FileReport& report, std::vector<PairRecord>& out) {
  for (std::size_t i = open_.size(); i-- > 0;) {
    if (open_[i].holds(report.path)) continue;
    table_.take_folder(open_[i].common, now_, spool_, out);
    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (!takes_part(report)) return;
  const PairName name = pair_name(report.path, report.name);
  if (std::none_of(open_.begin(), open_.end(),
                   [&](const Open& open) { return open.common == name.common; })) {
    const auto parent_end = std::find_if(name.common.rbegin(), name.common.rend(), is_path_separator);
    open_.push_back({std::string(name.common),
                     static_cast<std::size_t>(name.common.rend() - parent_end)});
  }
  table_.add(name, report.name.kind, side_of(report));
}

void PairStream::finish(std::vector<PairRecord>& out) {
  for (std::size_t i = open_.size(); i-- > 0;) table_.take_folder(open_[i].common, now_, spool_, out);
  open_.clear();
  table_.take_held(now_, spool_, out);
}

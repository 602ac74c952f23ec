#include "watch/relist.h"

#include <algorithm>
#include <set>

Relisted relist_changes(const std::map<std::string, FileState>& known,
                        const std::vector<std::pair<std::string, FileState>>& listed) {
  Relisted result;
  std::set<std::string> present;
  for (const auto& [name, state] : listed) {
    if (!present.insert(name).second) continue;
    const auto place = known.find(name);
    if (place == known.end() || !(place->second == state)) result.changed.push_back(name);
  }
  for (const auto& [name, state] : known)
    if (present.count(name) == 0) result.gone.push_back(name);
  std::sort(result.changed.begin(), result.changed.end());
  return result;
}

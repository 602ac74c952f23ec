// A folder listed again, after the watch lost events or was asked to: what
// changed since its files were last judged. A file is the same when its
// device, inode, size and last change are.
#ifndef TARNWICK_INSPECT_WATCH_RELIST_H
#define TARNWICK_INSPECT_WATCH_RELIST_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/watcher.h"

struct Relisted {
  std::vector<std::string> changed;  // new, or not the file judged: by name
  std::vector<std::string> gone;     // judged, and no longer there
};

// `known`: the files judged in the folder; `listed`: its regular files now.
Relisted relist_changes(const std::map<std::string, FileState>& known,
                        const std::vector<std::pair<std::string, FileState>>& listed);

#endif

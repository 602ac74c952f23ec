#include "walk/walk.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/errors.h"
#include "walk/glob.h"

namespace {

// A file still to be judged, and a report already made.
WalkItem file_item(std::string path, DirectoryHandle directory, std::string name) {
  WalkItem item;
  item.report.path = std::move(path);
  item.directory = std::move(directory);
  item.name = std::move(name);
  return item;
}

WalkItem done_item(FileReport report) {
  WalkItem item;
  item.report = std::move(report);
  item.judged = true;
  return item;
}

std::string joined(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '/' || dir.back() == PATH_SEPARATOR))
    return dir + name;
  return dir + PATH_SEPARATOR + name;
}

bool is_excluded(const WalkOptions& options, const std::string& name) {
  return std::any_of(options.excluded.begin(), options.excluded.end(),
                     [&](const std::string& glob) { return glob_matches(glob, name); });
}

// Walks one directory tree depth first, entries sorted by name, and hands
// each item to `emit` in that order. A stack of listings, not recursion: a
// deep tree costs memory, not the thread's stack. Only the listings of the
// directories on the way down are held. Before it opens a directory it
// calls `make_room` with the depth of the stack.
void walk_tree(const std::string& root, const WalkOptions& options, const Emit& emit,
               const MakeRoom& make_room) {
  struct Frame {
    DirectoryHandle directory;
    std::string path;
    std::vector<Entry> entries;
    int depth;
    std::size_t next = 0;
  };
  std::vector<Frame> stack;
  std::uint64_t root_device = 0;
  const auto enter = [&](const Directory* parent, const std::string& name,
                         std::string path, int depth) {
    make_room(stack.size());
    Listing listing = list_directory(
        parent, name, path,
        options.one_file_system && parent != nullptr ? &root_device : nullptr);
    if (listing.other_device) return;  // as find -xdev: not entered
    if (!listing.directory) {
      emit(done_item(listing.vanished
                         ? vanished_entry(std::move(path))
                         : unlisted_directory(std::move(path),
                                              std::move(listing.error))));
      return;
    }
    if (parent == nullptr) root_device = listing.device;
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    stack.push_back({std::move(listing.directory), std::move(path),
                     std::move(listing.entries), depth});
  };
  if (options.max_depth == 0) return;  // the operand alone, which is no file
  enter(nullptr, root, root, 0);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.entries.size()) {
      stack.pop_back();
      continue;
    }
    Entry& entry = frame.entries[frame.next++];
    std::string path = joined(frame.path, entry.name);
    if (is_excluded(options, entry.name)) {
      emit(done_item(excluded_entry(std::move(path))));
      continue;
    }
    switch (entry.kind) {
      case EntryKind::directory: {
        // The tool would be given it as a file, and could not open it.
        if (name_kind(path) != NameKind::rejected)
          emit(done_item(directory_named_like_a_file(path)));
        const int depth = frame.depth + 1;
        if (options.max_depth >= 0 && depth >= options.max_depth) break;
        const DirectoryHandle parent = frame.directory;  // frame may move
        enter(parent.get(), entry.name, std::move(path), depth);
        break;
      }
      case EntryKind::regular:
        emit(file_item(std::move(path), frame.directory, std::move(entry.name)));
        break;
      default:
        emit(done_item(skipped_entry(std::move(path), entry.kind)));
        break;
    }
  }
}

}  // namespace

void walk_operands(const OperandSource& operands, const WalkOptions& options,
                   const Emit& emit, const MakeRoom& make_room) {
  for (std::string operand; operands(operand);) {
    std::string path(trim_quotes(operand));
    if (name_kind(path) == NameKind::rejected && is_directory(path))
      walk_tree(path, options, emit, make_room);
    else
      emit(file_item(std::move(path), nullptr, {}));
  }
}

FileReport skipped_entry(std::string path, EntryKind kind) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::skipped;
  report.kind = kind;
  return report;
}

FileReport unlisted_directory(std::string path, SystemError error) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::cannot_open;
  report.kind = EntryKind::directory;
  report.error = std::move(error);
  return report;
}

FileReport directory_named_like_a_file(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.name = check_name(report.path);
  report.verdict = Verdict::cannot_open;
  report.error = system_error(EISDIR);
  return report;
}

FileReport vanished_entry(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::vanished;
  return report;
}

FileReport excluded_entry(std::string path) {
  FileReport report;
  report.path = std::move(path);
  report.verdict = Verdict::excluded;
  return report;
}

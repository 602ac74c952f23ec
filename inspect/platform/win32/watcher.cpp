// The watch on Windows: ReadDirectoryChangesW on each folder named, over
// its whole subtree; a folder below one watched is watched through it.
// Windows says nothing of a file closed: a file written in place is seen
// changing, and the settle time does the rest. A buffer that overflowed
// comes back empty: the tree is listed again. Ctrl+C, Ctrl+Break and the
// console closing stop the watch.
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/watcher.h"
#include "platform/win32/system.h"

namespace {

HANDLE stop_event = nullptr;

BOOL WINAPI on_console_event(DWORD /*event*/) {
  SetEvent(stop_event);
  return TRUE;
}

constexpr DWORD CHANGES = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                          FILE_NOTIFY_CHANGE_SIZE;

// One folder named, watched with its subtree.
struct Root {
  std::string path;
  HANDLE folder = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
  alignas(DWORD) unsigned char buffer[64 * 1024];
  bool reading = false;
};

class ChangesWatcher final : public Watcher {
 public:
  ChangesWatcher() = default;
  ~ChangesWatcher() override {
    for (auto& [id, root] : roots_) close(*root);
  }
  ChangesWatcher(const ChangesWatcher&) = delete;
  ChangesWatcher& operator=(const ChangesWatcher&) = delete;

  int add(const std::string& path, SystemError& error) override {
    const auto known = ids_.find(path);
    if (known != ids_.end()) return known->second;
    // Below a folder watched already: its events come through it.
    for (const auto& [id, root] : roots_) {
      if (path.size() > root->path.size() && path.compare(0, root->path.size(), root->path) == 0 &&
          (path[root->path.size()] == '\\' || path[root->path.size()] == '/')) {
        if (!names_directory(system_path(path))) {
          error = reason(ERROR_PATH_NOT_FOUND);
          return -1;
        }
        return name(path);
      }
    }
    auto root = std::make_unique<Root>();
    root->path = path;
    root->folder = CreateFileW(system_path(path).c_str(), FILE_LIST_DIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (root->folder == INVALID_HANDLE_VALUE) {
      error = reason(GetLastError());
      return -1;
    }
    root->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (root->overlapped.hEvent == nullptr || !read(*root)) {
      error = reason(GetLastError());
      close(*root);
      return -1;
    }
    const int id = name(path);
    roots_.emplace(id, std::move(root));
    return id;
  }

  void remove(int folder) override {
    const auto root = roots_.find(folder);
    if (root != roots_.end()) {
      close(*root->second);
      roots_.erase(root);
    }
    for (auto place = ids_.begin(); place != ids_.end(); ++place)
      if (place->second == folder) {
        ids_.erase(place);
        break;
      }
  }

  Wake wait(std::optional<std::chrono::milliseconds> timeout, std::vector<WatchEvent>& events) override {
    std::vector<HANDLE> handles{stop_event};
    std::vector<int> which{-1};
    for (const auto& [id, root] : roots_) {
      handles.push_back(root->overlapped.hEvent);
      which.push_back(id);
    }
    const DWORD ms = timeout ? static_cast<DWORD>(timeout->count() < 0 ? 0 : timeout->count()) : INFINITE;
    const DWORD got = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, ms);
    if (got == WAIT_OBJECT_0) return Wake::stop;
    if (got == WAIT_TIMEOUT || got == WAIT_FAILED) return Wake::timeout;
    // Every root that is ready, not only the first.
    for (std::size_t i = 1; i < handles.size(); ++i) {
      if (WaitForSingleObject(handles[i], 0) != WAIT_OBJECT_0) continue;
      const auto root = roots_.find(which[i]);
      if (root != roots_.end()) take(root->first, *root->second, events);
    }
    return events.empty() ? Wake::timeout : Wake::events;
  }

 private:
  int name(const std::string& path) {
    const int id = next_++;
    ids_.emplace(path, id);
    return id;
  }

  static bool read(Root& root) {
    ResetEvent(root.overlapped.hEvent);
    root.reading = ReadDirectoryChangesW(root.folder, root.buffer, sizeof root.buffer, TRUE, CHANGES, nullptr,
                                         &root.overlapped, nullptr) != 0;
    return root.reading;
  }

  static void close(Root& root) {
    if (root.folder != INVALID_HANDLE_VALUE) {
      CancelIoEx(root.folder, &root.overlapped);
      if (root.reading) {
        DWORD ignored = 0;
        GetOverlappedResult(root.folder, &root.overlapped, &ignored, TRUE);
      }
      CloseHandle(root.folder);
    }
    if (root.overlapped.hEvent != nullptr) CloseHandle(root.overlapped.hEvent);
    root.folder = INVALID_HANDLE_VALUE;
    root.overlapped.hEvent = nullptr;
  }

  void take(int id, Root& root, std::vector<WatchEvent>& events) {
    DWORD size = 0;
    root.reading = false;
    if (!GetOverlappedResult(root.folder, &root.overlapped, &size, FALSE)) {
      // The folder named is gone, or cannot be read any more.
      events.push_back({id, folder_gone, 0, ""});
      return;
    }
    if (size == 0) {
      events.push_back({-1, overflow, 0, ""});
    } else {
      for (DWORD at = 0;;) {
        FILE_NOTIFY_INFORMATION info{};
        std::memcpy(&info, root.buffer + at, offsetof(FILE_NOTIFY_INFORMATION, FileName));
        std::wstring relative(info.FileNameLength / sizeof(wchar_t), L'\0');
        std::memcpy(relative.data(), root.buffer + at + offsetof(FILE_NOTIFY_INFORMATION, FileName),
                    info.FileNameLength);
        event_of(root, info.Action, narrow(relative), events);
        if (info.NextEntryOffset == 0) break;
        at += info.NextEntryOffset;
      }
    }
    if (!read(root)) events.push_back({id, folder_gone, 0, ""});
  }

  void event_of(const Root& root, DWORD action, const std::string& relative, std::vector<WatchEvent>& events) {
    const std::size_t cut = relative.find_last_of('\\');
    const std::string folder = cut == std::string::npos ? root.path : root.path + '\\' + relative.substr(0, cut);
    const std::string entry = cut == std::string::npos ? relative : relative.substr(cut + 1);
    const auto known = ids_.find(folder);
    if (known == ids_.end()) return;  // a folder not listed yet: its listing finds it
    const std::string whole = folder + '\\' + entry;
    WatchEvent event{known->second, 0, 0, entry};
    switch (action) {
      case FILE_ACTION_ADDED:
      case FILE_ACTION_RENAMED_NEW_NAME:
        event.what = action == FILE_ACTION_ADDED ? written | made : moved_in;
        event.cookie = action == FILE_ACTION_ADDED ? 0 : rename_;
        break;
      case FILE_ACTION_MODIFIED:
        event.what = written;
        break;
      case FILE_ACTION_REMOVED:
        event.what = removed;
        break;
      case FILE_ACTION_RENAMED_OLD_NAME:
        event.what = moved_out;
        event.cookie = ++rename_;
        break;
      default:
        return;
    }
    if ((event.what & (made | moved_in | written)) != 0 && names_directory(system_path(whole))) {
      if ((event.what & written) != 0 && (event.what & made) == 0) return;  // a folder's time changed
      event.what = (event.what & ~static_cast<unsigned>(written)) | is_folder;
    }
    if ((event.what & (moved_out | removed)) != 0 && ids_.count(whole) != 0) event.what |= is_folder;
    events.push_back(std::move(event));
  }

  std::map<int, std::unique_ptr<Root>> roots_;
  std::map<std::string, int> ids_;  // every folder watched, by path
  int next_ = 1;
  std::uint32_t rename_ = 0;
};

}  // namespace

std::unique_ptr<Watcher> open_watcher(SystemError& error) {
  stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop_event == nullptr || !SetConsoleCtrlHandler(on_console_event, TRUE)) {
    error = reason(GetLastError());
    return nullptr;
  }
  return std::make_unique<ChangesWatcher>();
}

bool regular_file_state(const std::string& path, FileState& state) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &data)) return false;
  if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) return false;
  state.device = 0;
  state.inode = 0;
  state.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  // 100 ns ticks since 1601.
  state.modified_ns = static_cast<std::int64_t>(ticks - 116444736000000000ULL) * 100;
  return true;
}

bool on_network_file_system(const std::string& /*path*/) { return false; }

bool folder_device(const std::string& path, std::uint64_t& device) {
  device = 0;
  return names_directory(system_path(path));
}

// The watch on Linux: inotify for the folders, a signalfd for SIGINT,
// SIGTERM and SIGHUP, and ppoll on both, with a timeout only for the next
// deadline, so that an idle watch takes no time at all.
#include "platform/watcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"

namespace {

// Files: closed after writing, renamed in or out, unlinked. Folders: made
// too, so that a new one is watched; the watched folder itself going.
constexpr std::uint32_t MASK = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW |
                               IN_EXCL_UNLINK;

unsigned change_of(std::uint32_t mask) {
  unsigned what = 0;
  if ((mask & IN_CLOSE_WRITE) != 0) what |= written;
  if ((mask & IN_MOVED_TO) != 0) what |= moved_in;
  if ((mask & IN_MOVED_FROM) != 0) what |= moved_out;
  if ((mask & IN_CREATE) != 0) what |= made;
  if ((mask & IN_DELETE) != 0) what |= removed;
  if ((mask & (IN_DELETE_SELF | IN_IGNORED)) != 0) what |= folder_gone;
  if ((mask & IN_MOVE_SELF) != 0) what |= folder_moved;
  if ((mask & IN_ISDIR) != 0) what |= is_folder;
  if ((mask & IN_Q_OVERFLOW) != 0) what |= overflow;
  return what;
}

class InotifyWatcher final : public Watcher {
 public:
  InotifyWatcher(int inotify, int signals) : inotify_(inotify), signals_(signals) {}
  ~InotifyWatcher() override {
    close(inotify_);
    close(signals_);
  }
  InotifyWatcher(const InotifyWatcher&) = delete;
  InotifyWatcher& operator=(const InotifyWatcher&) = delete;

  int add(const std::string& path, SystemError& error) override {
    const int folder = inotify_add_watch(inotify_, path.c_str(), MASK);
    if (folder < 0) error = system_error(errno);
    return folder;
  }

  void remove(int folder) override { static_cast<void>(inotify_rm_watch(inotify_, folder)); }

  Wake wait(std::optional<std::chrono::milliseconds> timeout, std::vector<WatchEvent>& events) override {
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {signals_, POLLIN, 0}};
    timespec span{};
    if (timeout) {
      const auto ms = timeout->count() < 0 ? 0 : timeout->count();
      span.tv_sec = static_cast<time_t>(ms / 1000);
      span.tv_nsec = static_cast<long>(ms % 1000 * 1000000);
    }
    const int ready = ppoll(fds, 2, timeout ? &span : nullptr, nullptr);
    if (ready <= 0) return Wake::timeout;
    read_events(events);
    Wake wake = events.empty() ? Wake::timeout : Wake::events;
    signalfd_siginfo signal{};
    while (read(signals_, &signal, sizeof signal) == static_cast<ssize_t>(sizeof signal)) {
      if (signal.ssi_signo == SIGHUP) {
        if (wake != Wake::stop) wake = Wake::relist;
      } else {
        wake = Wake::stop;
      }
    }
    return wake;
  }

 private:
  void read_events(std::vector<WatchEvent>& events) {
    alignas(inotify_event) char buffer[1 << 16];
    for (;;) {
      const ssize_t got = read(inotify_, buffer, sizeof buffer);
      if (got <= 0) return;
      for (ssize_t at = 0; at < got;) {
        inotify_event raw{};
        std::memcpy(&raw, buffer + at, sizeof raw);
        WatchEvent event;
        event.folder = raw.wd;
        event.what = change_of(raw.mask);
        event.cookie = raw.cookie;
        if (raw.len > 0) event.name = std::string(buffer + at + sizeof raw).c_str();
        at += static_cast<ssize_t>(sizeof raw + raw.len);
        if (event.what != 0) events.push_back(std::move(event));
      }
    }
  }

  int inotify_;
  int signals_;
};

}  // namespace

std::unique_ptr<Watcher> open_watcher(SystemError& error) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
    error = system_error(EINVAL);
    return nullptr;
  }
  const int signals = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signals < 0) {
    error = system_error(errno);
    return nullptr;
  }
  const int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify < 0) {
    error = system_error(errno);
    close(signals);
    return nullptr;
  }
  return std::make_unique<InotifyWatcher>(inotify, signals);
}

bool regular_file_state(const std::string& path, FileState& state) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  state.device = status.st_dev;
  state.inode = status.st_ino;
  state.size = static_cast<std::uint64_t>(status.st_size);
  state.modified_ns = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return true;
}

bool on_network_file_system(const std::string& path) {
  struct statfs about {};
  if (statfs(path.c_str(), &about) != 0) return false;
  // NFS, SMB, CIFS and SMB2, by the magic numbers of their superblocks.
  switch (static_cast<unsigned long>(about.f_type)) {
    case 0x6969UL:
    case 0x517BUL:
    case 0xFF534D42UL:
    case 0xFE534D42UL:
      return true;
    default:
      return false;
  }
}

bool folder_device(const std::string& path, std::uint64_t& device) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return false;
  device = status.st_dev;
  return true;
}

// Listing, opening, reading and the standard streams on Linux and other
// POSIX systems. Entries are opened relative to their directory's
// descriptor: no path is looked up twice, and depth is no limit.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "console.h"
#include "directories.h"
#include "system_file.h"

namespace {
std::atomic<std::size_t> directories_open{0};
}  // namespace

struct Directory {
  int fd;
  explicit Directory(int descriptor) : fd(descriptor) { ++directories_open; }
  ~Directory() {
    close(fd);
    --directories_open;
  }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
};

const char PATH_SEPARATOR = '/';

namespace {

// strerror_r comes in two forms: the GNU one returns the text, the POSIX
// one fills the buffer and returns 0.
[[maybe_unused]] const char* text_of(int result, const char* buffer) {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* text_of(const char* result, const char*) {
  return result;
}

SystemError reason(int error) { return system_error(error); }

// Running out of descriptors is a moment's shortage while other threads
// close theirs: wait a little and try again, for a second at most.
template <typename Open>
int open_patiently(const Open& open) {
  for (int tries = 0;; ++tries) {
    const int fd = open();
    if (fd >= 0 || (errno != EMFILE && errno != ENFILE) || tries == 1000)
      return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

EntryKind kind_of_mode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::directory;
  if (S_ISREG(mode)) return EntryKind::regular;
  if (S_ISLNK(mode)) return EntryKind::symlink;
  if (S_ISFIFO(mode)) return EntryKind::fifo;
  if (S_ISSOCK(mode)) return EntryKind::socket;
  if (S_ISCHR(mode)) return EntryKind::character_device;
  if (S_ISBLK(mode)) return EntryKind::block_device;
  return EntryKind::other;
}

EntryKind kind_of_entry(int dir, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR: return EntryKind::directory;
    case DT_REG: return EntryKind::regular;
    case DT_LNK: return EntryKind::symlink;
    case DT_FIFO: return EntryKind::fifo;
    case DT_SOCK: return EntryKind::socket;
    case DT_CHR: return EntryKind::character_device;
    case DT_BLK: return EntryKind::block_device;
    default: break;
  }
  // Some file systems do not say in the listing: ask.
  struct stat info {};
  if (fstatat(dir, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return EntryKind::other;
  return kind_of_mode(info.st_mode);
}

}  // namespace

std::string error_text(int error) {
  char buffer[256];
  return text_of(strerror_r(error, buffer, sizeof buffer), buffer);
}

Listing list_directory(const Directory* parent, const std::string& name,
                       const std::string& path,
                       const std::uint64_t* same_device) {
  Listing listing;
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
  const int fd = open_patiently([&] {
    return parent ? openat(parent->fd, name.c_str(), flags | O_NOFOLLOW)
                  : open(path.c_str(), flags);
  });
  if (fd < 0) {
    listing.vanished = parent != nullptr && errno == ENOENT;
    listing.error = reason(errno);
    return listing;
  }
  auto directory = std::make_shared<const Directory>(fd);
  struct stat info {};
  if (fstat(fd, &info) == 0) listing.device = info.st_dev;
  if (same_device != nullptr && listing.device != *same_device) {
    listing.other_device = true;
    return listing;
  }
  // The listing reads through its own descriptor, so that closing it leaves
  // the one the entries are opened from.
  const int reading = dup(fd);
  DIR* stream = reading < 0 ? nullptr : fdopendir(reading);
  if (stream == nullptr) {
    listing.error = reason(errno);
    if (reading >= 0) close(reading);
    return listing;
  }
  errno = 0;
  while (const dirent* entry = readdir(stream)) {
    const std::string_view entry_name = entry->d_name;
    if (entry_name != "." && entry_name != "..")
      listing.entries.push_back({std::string(entry_name),
                                 kind_of_entry(fd, *entry)});
    errno = 0;
  }
  const int failed = errno;
  closedir(stream);
  if (failed != 0) {
    listing.entries.clear();
    listing.error = reason(failed);
    return listing;
  }
  listing.directory = std::move(directory);
  return listing;
}

bool is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool path_exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

SystemFile::SystemFile(const Directory* parent, const std::string& name,
                       const std::string& path)
    : in_walk_(parent != nullptr) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open; in a
  // walk, a link put in the file's place is not followed.
  const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int fd = open_patiently([&] {
    return parent ? openat(parent->fd, name.c_str(), flags | O_NOFOLLOW)
                  : open(path.c_str(), flags);
  });
  if (fd >= 0) {
    handle_ = fd;
  } else if (in_walk_ && errno == ELOOP) {
    link_ = true;
  } else {
    gone_ = errno == ENOENT;
    failure_ = reason(errno);
  }
}

bool SystemFile::modified_within(std::int64_t seconds) {
  struct stat info {};
  timespec now{};
  if (fstat(static_cast<int>(handle_), &info) != 0 ||
      clock_gettime(CLOCK_REALTIME, &now) != 0)
    return false;
  return now.tv_sec - info.st_mtim.tv_sec < seconds ||
         (now.tv_sec - info.st_mtim.tv_sec == seconds &&
          now.tv_nsec < info.st_mtim.tv_nsec);
}

SystemFile::~SystemFile() {
  if (is_open()) close(static_cast<int>(handle_));
}

bool SystemFile::query(EntryKind& kind, std::uint64_t& size) {
  struct stat info {};
  if (fstat(static_cast<int>(handle_), &info) != 0) {
    failure_ = reason(errno);
    return false;
  }
  kind = kind_of_mode(info.st_mode);
  size = static_cast<std::uint64_t>(info.st_size);
  modified_ = static_cast<std::int64_t>(info.st_mtime);
  return true;
}

bool SystemFile::wait_for_data() {
  if (fcntl(static_cast<int>(handle_), F_SETFL, 0) == 0) return true;
  failure_ = reason(errno);
  return false;
}

std::int64_t SystemFile::read_at(unsigned char* buffer, std::size_t size,
                                 std::uint64_t offset) {
  ssize_t got;
  do got = pread(static_cast<int>(handle_), buffer, size,
                 static_cast<off_t>(offset));
  while (got < 0 && errno == EINTR);
  if (got < 0) {
    refuses_offsets_ = errno == ESPIPE;
    failure_ = reason(errno);
  }
  return got;
}

std::int64_t SystemFile::read_on(unsigned char* buffer, std::size_t size) {
  ssize_t got;
  do got = read(static_cast<int>(handle_), buffer, size);
  while (got < 0 && errno == EINTR);
  if (got < 0) failure_ = reason(errno);
  return got;
}

bool write_output(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

bool error_is_terminal() { return isatty(STDERR_FILENO) == 1; }

void raise_open_file_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    static_cast<void>(setrlimit(RLIMIT_NOFILE, &limit));
  }
}

std::size_t open_directories() { return directories_open.load(); }

std::size_t directory_budget(unsigned jobs) {
  // Standard streams, the list, and a few for the C library's own use.
  const std::size_t reserve = std::size_t{jobs} + 16;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return SIZE_MAX;
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  return allowed > reserve + 8 ? allowed - reserve : 8;
}

unsigned threads_within_descriptors(unsigned wanted) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return wanted;
  // Half of what the standard streams, the list and the C library leave, so
  // that the directories keep the other half (see directory_budget).
  const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t room = allowed > 32 ? (allowed - 32) / 2 : 1;
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(wanted, room)));
}

std::uint64_t waits_of_this_thread() {
#ifdef RUSAGE_THREAD
  // A voluntary switch: the thread slept, for a read from the disk mostly.
  rusage usage{};
  if (getrusage(RUSAGE_THREAD, &usage) == 0)
    return static_cast<std::uint64_t>(usage.ru_nvcsw);
#endif
  return 0;
}

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") return stdin;
  std::FILE* list = std::fopen(path.c_str(), "rb");
  if (list == nullptr) error = error_text(errno);
  return list;
}

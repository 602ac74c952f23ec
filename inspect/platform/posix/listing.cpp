// Listing a directory on Linux and other POSIX systems. A directory is
// held by its descriptor, and its entries are opened relative to it: no
// path is looked up twice, and depth is no limit.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/directories.h"
#include "platform/errors.h"
#include "platform/posix/directory.h"

std::atomic<std::size_t> directories_open{0};

const char PATH_SEPARATOR = '/';

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

namespace {

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
    listing.error = system_error(errno);
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
    listing.error = system_error(errno);
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
    listing.error = system_error(failed);
    return listing;
  }
  listing.directory = std::move(directory);
  return listing;
}

EntryKind look_up(const std::string& path, bool follow, int& error) {
  struct stat info {};
  error = (follow ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) == 0 ? 0 : errno;
  return error == 0 ? kind_of_mode(info.st_mode) : EntryKind::other;
}

std::optional<std::chrono::system_clock::time_point> last_change(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
}

bool is_directory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool path_exists(const std::string& path) {
  int error = 0;
  look_up(path, false, error);
  return error != ENOENT && error != ENOTDIR;
}

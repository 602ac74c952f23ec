// Listing, opening and reading on Linux and other POSIX systems. Entries
// are opened relative to their directory's descriptor: no path is looked
// up twice, and depth is no limit.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files.h"

struct Directory {
  int fd;
  explicit Directory(int descriptor) : fd(descriptor) {}
  ~Directory() { close(fd); }
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
};

const char PATH_SEPARATOR = '/';

namespace {

// A small file comes whole in one read of this size, which also shows that
// it ends there.
constexpr std::size_t WHOLE_READ = 4096;

std::string reason(int error) { return std::strerror(error); }

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

ssize_t read_at(int fd, unsigned char* buffer, std::size_t size, off_t at) {
  ssize_t got;
  do got = pread(fd, buffer, size, at);
  while (got < 0 && errno == EINTR);
  return got;
}

// The tool's own way: read on until IMAGE_CAPACITY bytes are in or the file
// ends. For what is not a regular file, and for one that changed while its
// parts were read.
bool read_like_the_tool(int fd, bool seekable, ReadParts& parts,
                        std::string& error) {
  thread_local std::unique_ptr<unsigned char[]> image(
      new unsigned char[IMAGE_CAPACITY]);
  std::size_t length = 0;
  while (length < IMAGE_CAPACITY) {
    const ssize_t got =
        seekable ? read_at(fd, image.get() + length, IMAGE_CAPACITY - length,
                           static_cast<off_t>(length))
                 : read(fd, image.get() + length, IMAGE_CAPACITY - length);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = reason(errno);
      return false;
    }
    if (got == 0) break;
    length += static_cast<std::size_t>(got);
  }
  keep_image(image.get(), length, parts);
  return true;
}

// A regular file, of which `got` bytes from the start are in `first`: the
// six bytes before the end of what the tool would read are all that is
// still needed.
bool finish_regular(int fd, const unsigned char* first, std::size_t got,
                    std::uint64_t size, ReadParts& parts, std::string& error) {
  parts.size = size;
  parts.sized = true;
  // A read that asked for more than came back, from a file whose size says
  // the same, found its end: the whole file, as it was at one moment. A size
  // that says otherwise is a file that changed, or one of the system's own
  // files, which give less than asked before their end.
  if (got < WHOLE_READ) {
    if (got == size) {
      keep_image(first, got, parts);
      return true;
    }
    return read_like_the_tool(fd, true, parts, error);
  }
  const std::size_t length =
      size < IMAGE_CAPACITY ? static_cast<std::size_t>(size) : IMAGE_CAPACITY;
  if (length < WHOLE_READ) return read_like_the_tool(fd, true, parts, error);
  // One byte past the end as well, below the capacity: if it comes, the file
  // has grown since its size was taken.
  unsigned char end[sizeof END_RECORD + 1];
  const std::size_t want =
      length < IMAGE_CAPACITY ? sizeof end : sizeof END_RECORD;
  const ssize_t tail =
      read_at(fd, end, want, static_cast<off_t>(length - sizeof END_RECORD));
  if (tail < 0) {
    error = reason(errno);
    return false;
  }
  if (static_cast<std::size_t>(tail) != sizeof END_RECORD)
    return read_like_the_tool(fd, true, parts, error);  // it changed
  std::memcpy(parts.start, first, sizeof parts.start);
  parts.start_size = sizeof parts.start;
  std::memcpy(parts.end, end, sizeof END_RECORD);
  parts.end_size = sizeof END_RECORD;
  parts.length = length;
  return true;
}

}  // namespace

Listing list_directory(const Directory* parent, const std::string& name,
                       const std::string& path) {
  Listing listing;
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
  const int fd = parent ? openat(parent->fd, name.c_str(), flags | O_NOFOLLOW)
                        : open(path.c_str(), flags);
  if (fd < 0) {
    listing.error = reason(errno);
    return listing;
  }
  auto directory = std::make_shared<const Directory>(fd);
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

ReadOutcome read_file(const Directory* parent, const std::string& name,
                      const std::string& path, ReadParts& parts,
                      EntryKind& kind, std::string& error) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open; in a
  // walk, a link put in the file's place is not followed.
  const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int fd = parent ? openat(parent->fd, name.c_str(), flags | O_NOFOLLOW)
                        : open(path.c_str(), flags);
  if (fd < 0) {
    if (parent && errno == ELOOP) {
      kind = EntryKind::symlink;
      return ReadOutcome::not_regular;
    }
    error = reason(errno);
    return ReadOutcome::cannot_open;
  }
  const auto done = [fd](ReadOutcome outcome) {
    close(fd);
    return outcome;
  };
  // Read first and ask what it is after: a FIFO or a directory refuses the
  // read, and the bytes of a regular file are then already in.
  unsigned char first[WHOLE_READ];
  const ssize_t got = read_at(fd, first, sizeof first, 0);
  const int read_error = errno;
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    error = reason(errno);
    return done(ReadOutcome::cannot_open);
  }
  if (S_ISDIR(info.st_mode)) {
    error = reason(EISDIR);
    return done(ReadOutcome::cannot_open);
  }
  if (S_ISREG(info.st_mode)) {
    if (got < 0) {
      error = reason(read_error);
      return done(ReadOutcome::cannot_open);
    }
    const bool read = finish_regular(fd, first, static_cast<std::size_t>(got),
                                     static_cast<std::uint64_t>(info.st_size),
                                     parts, error);
    return done(read ? ReadOutcome::read : ReadOutcome::cannot_open);
  }
  if (parent) {
    kind = kind_of_mode(info.st_mode);
    return done(ReadOutcome::not_regular);
  }
  // A FIFO or a device that the user named: reads wait for data as the
  // tool's do, since its writer may be slow.
  if (fcntl(fd, F_SETFL, 0) != 0) {
    error = reason(errno);
    return done(ReadOutcome::cannot_open);
  }
  return done(read_like_the_tool(fd, false, parts, error)
                  ? ReadOutcome::read
                  : ReadOutcome::cannot_open);
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

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") return stdin;
  std::FILE* list = std::fopen(path.c_str(), "rb");
  if (list == nullptr) error = reason(errno);
  return list;
}

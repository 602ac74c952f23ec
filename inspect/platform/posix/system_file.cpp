// One file opened for reading on POSIX systems: relative to its
// directory's descriptor when a walk found it, never blocking on a FIFO.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/errors.h"
#include "platform/posix/directory.h"
#include "platform/system_file.h"

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
    failure_ = system_error(errno);
  }
}

bool SystemFile::modified_within(std::chrono::milliseconds age) {
  struct stat info {};
  timespec now{};
  if (fstat(static_cast<int>(handle_), &info) != 0 ||
      clock_gettime(CLOCK_REALTIME, &now) != 0)
    return false;
  const auto since = std::chrono::seconds(now.tv_sec - info.st_mtim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - info.st_mtim.tv_nsec);
  return since < age;
}

SystemFile::~SystemFile() {
  if (is_open()) close(static_cast<int>(handle_));
}

bool SystemFile::query(EntryKind& kind, std::uint64_t& size) {
  struct stat info {};
  if (fstat(static_cast<int>(handle_), &info) != 0) {
    failure_ = system_error(errno);
    return false;
  }
  kind = kind_of_mode(info.st_mode);
  size = static_cast<std::uint64_t>(info.st_size);
  modified_ = static_cast<std::int64_t>(info.st_mtime);
  return true;
}

bool SystemFile::wait_for_data() {
  if (fcntl(static_cast<int>(handle_), F_SETFL, 0) == 0) return true;
  failure_ = system_error(errno);
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
    failure_ = system_error(errno);
  }
  return got;
}

std::int64_t SystemFile::read_on(unsigned char* buffer, std::size_t size) {
  ssize_t got;
  do got = read(static_cast<int>(handle_), buffer, size);
  while (got < 0 && errno == EINTR);
  if (got < 0) failure_ = system_error(errno);
  return got;
}

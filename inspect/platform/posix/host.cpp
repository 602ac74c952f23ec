#include "platform/host.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/errors.h"

namespace {

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::string host_name() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool replace_file(const std::string& path, std::string_view bytes, SystemError& error) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    error = system_error(errno);
    return false;
  }
  bool written = write_all(fd, bytes) && ::fsync(fd) == 0;
  int failure = written ? 0 : errno;
  if (::close(fd) != 0 && written) {
    written = false;
    failure = errno;
  }
  if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    failure = errno;
  }
  if (!written) {
    error = system_error(failure);
    static_cast<void>(::unlink(temporary.c_str()));
  }
  return written;
}

bool read_small_file(const std::string& path, std::size_t limit, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bytes.assign(limit, '\0');
  std::size_t got = 0;
  bool ok = true;
  while (got < limit) {
    const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  static_cast<void>(::close(fd));
  bytes.resize(got);
  return ok;
}

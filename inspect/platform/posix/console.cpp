// The standard streams on POSIX systems.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/console.h"
#include "platform/errors.h"

bool write_output(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

void keep_on_broken_pipes() { static_cast<void>(std::signal(SIGPIPE, SIG_IGN)); }

bool error_is_terminal() { return isatty(STDERR_FILENO) == 1; }

std::FILE* open_file_list(const std::string& path, std::string& error) {
  if (path == "-") return stdin;
  std::FILE* list = std::fopen(path.c_str(), "rb");
  if (list == nullptr) error = error_text(errno);
  return list;
}

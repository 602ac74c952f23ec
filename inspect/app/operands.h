// The operands of a run: the paths named on the command line, then those
// in a list of paths (--files-from), one a line or each ended by a NUL.
#ifndef TARNWICK_INSPECT_APP_OPERANDS_H
#define TARNWICK_INSPECT_APP_OPERANDS_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class Operands {
 public:
  // `list` may be null; its paths end in `separator`. The list is read
  // `buffer_size` bytes at a time.
  Operands(std::vector<std::string> paths, std::FILE* list, char separator,
           std::size_t buffer_size = std::size_t{1} << 16);

  // The next operand; false when there are no more. Empty entries, such as
  // a blank line, name nothing and are passed over. Throws when a list of
  // lines holds a NUL byte.
  bool next(std::string& operand);

  // Whether reading the list failed, and the system's error number then.
  bool failed() const { return failed_; }
  int error() const { return error_; }

 private:
  bool refill();

  std::unique_ptr<char[]> buffer_;
  std::size_t size_;
  std::size_t at_ = 0, filled_ = 0;
  std::vector<std::string> paths_;
  std::size_t next_path_ = 0;
  std::FILE* list_;
  char separator_;
  bool failed_ = false;
  int error_ = 0;
};

#endif

#include "app/operands.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

Operands::Operands(std::vector<std::string> paths, std::FILE* list, char separator,
                   std::size_t buffer_size)
    : buffer_(new char[buffer_size]),
      size_(buffer_size),
      paths_(std::move(paths)),
      list_(list),
      separator_(separator) {}

bool Operands::next(std::string& operand) {
  if (next_path_ < paths_.size()) {
    operand = std::move(paths_[next_path_++]);
    return true;
  }
  operand.clear();
  while (list_ != nullptr) {
    if (at_ == filled_ && !refill()) {
      if (!operand.empty()) return true;
      continue;
    }
    const char* begin = buffer_.get() + at_;
    const void* found = std::memchr(begin, separator_, filled_ - at_);
    const std::size_t size =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - begin)
              : filled_ - at_;
    operand.append(begin, size);
    at_ += size;
    if (found) {
      ++at_;
      if (!operand.empty()) return true;
    }
  }
  return false;
}

bool Operands::refill() {
  errno = 0;
  filled_ = std::fread(buffer_.get(), 1, size_, list_);
  at_ = 0;
  // A NUL cannot be part of a path: the name checked would not be the file
  // opened. A list that holds one was meant for -0. Looked for once a
  // buffer, not once a path.
  if (separator_ != '\0' && std::memchr(buffer_.get(), '\0', filled_))
    throw std::runtime_error(
        "the list holds a NUL byte, which no path can: for a list of "
        "paths that end in NUL bytes, give -0");
  if (filled_ > 0) return true;
  failed_ = std::ferror(list_) != 0;
  if (failed_) error_ = errno;
  list_ = nullptr;
  return false;
}

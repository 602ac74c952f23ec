// Where the build has no submission ring (Windows, or a system without
// liburing): none can be made, and every file is read one by one.
#include <cerrno>

#include "platform/errors.h"
#include "platform/file_ring.h"

std::unique_ptr<FileRing> make_file_ring(unsigned /*depth*/, std::string& why) {
  why = "not built with io_uring";
  return nullptr;
}

std::int64_t RingFileReader::read_at(unsigned char* /*buffer*/, std::size_t /*size*/,
                                     std::uint64_t /*offset*/) {
  failure_ = system_error(ENOSYS);
  return -1;
}

std::int64_t RingFileReader::read_on(unsigned char* /*buffer*/, std::size_t /*size*/) {
  failure_ = system_error(ENOSYS);
  return -1;
}

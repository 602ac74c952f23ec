// An open file as the read strategy sees it: a read at an offset, a read
// on from the last, and the system's words for a failure. SystemFile gives
// it for the platform; a test can give a file that changes between reads.
#ifndef TARNWICK_INSPECT_PLATFORM_FILE_READER_H
#define TARNWICK_INSPECT_PLATFORM_FILE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/report.h"

class FileReader {
 public:
  virtual ~FileReader() = default;
  // Up to `size` bytes from `offset`: how many came, 0 at the end, -1 when
  // the read failed.
  virtual std::int64_t read_at(unsigned char* buffer, std::size_t size,
                               std::uint64_t offset) = 0;
  // Up to `size` bytes from where the last read ended, waiting for them as
  // the tool's reads do: how many came, 0 at the end, -1 on failure.
  virtual std::int64_t read_on(unsigned char* buffer, std::size_t size) = 0;
  // The system's reason for the last failure.
  virtual SystemError failure() const = 0;
  // Whether the last read_at failed because the file cannot be read at an
  // offset at all (a device or a FUSE file opened as a stream): it can
  // still be read on from its start.
  virtual bool refuses_offsets() const { return false; }
};

#endif

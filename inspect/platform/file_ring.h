// Many files of a walk opened, sized, read and closed at once, each step
// submitted for all of them together to the kernel's submission ring,
// where the system has one: what run/ring_reader.cpp asks of the
// platform. Where the build or the system has none, no ring can be made,
// and the files are read one by one as before.
#ifndef TARNWICK_INSPECT_PLATFORM_FILE_RING_H
#define TARNWICK_INSPECT_PLATFORM_FILE_RING_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "model/report.h"
#include "platform/file_reader.h"

struct Directory;

// A read asked of a file in a batch, and what came back.
struct RingRead {
  std::uint64_t offset = 0;
  std::size_t size = 0;  // 0: none asked
  unsigned char* buffer = nullptr;
  std::int64_t got = 0;  // bytes read, or minus the system's error number
};

// One file of a batch: where a walk found it, what opening it found, and
// the reads asked of it.
struct RingFile {
  const Directory* parent = nullptr;
  const char* name = nullptr;
  std::intptr_t handle = -1;  // -1 while not open
  int error = 0;              // why it did not open
  EntryKind kind = EntryKind::other;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // seconds since 1970
  bool young = false;         // modified within the age asked, or later
  RingRead reads[2];
};

class FileRing {
 public:
  virtual ~FileRing() = default;
  // Opens every file, as SystemFile opens a file found by a walk (no link
  // followed, no wait for a FIFO's writer), and tells what each one that
  // opened is.
  virtual void open(std::span<RingFile> files, std::chrono::milliseconds min_age) = 0;
  // Reads what is asked of the open files, all at once.
  virtual void read(std::span<RingFile> files) = 0;
  // Closes the open files.
  virtual void close(std::span<RingFile> files) = 0;
};

// A ring for `depth` files at once, its operations probed; null, with the
// reason in `why`, where there is none.
std::unique_ptr<FileRing> make_file_ring(unsigned depth, std::string& why);

// An open file of a batch as the read strategy sees it: the reads made
// through the ring answer the first read that asks the same, any other
// read (one asked again, after the file changed) is made on the file
// itself.
class RingFileReader final : public FileReader {
 public:
  explicit RingFileReader(const RingFile& file) : file_(file) {}
  std::int64_t read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) override;
  std::int64_t read_on(unsigned char* buffer, std::size_t size) override;
  SystemError failure() const override { return failure_; }
  bool refuses_offsets() const override { return refuses_offsets_; }

 private:
  const RingFile& file_;
  bool answered_[2] = {false, false};
  SystemError failure_;
  bool refuses_offsets_ = false;
};

#endif

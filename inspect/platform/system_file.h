// One file opened by the platform for the inspector to read: what the
// judge asks of posix/system_file.cpp and win32/system_file.cpp.
#ifndef TARNWICK_INSPECT_PLATFORM_SYSTEM_FILE_H
#define TARNWICK_INSPECT_PLATFORM_SYSTEM_FILE_H

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/file_reader.h"
#include "platform/directories.h"

class SystemFile final : public FileReader {
 public:
  // Opens `name` in `parent`, where a walk found it, or `path`, which the
  // user named (`parent` null), for reading, sharing it with every other
  // reader and writer. The open does not wait for a FIFO's writer, and in a
  // walk it does not follow a link put in the file's place.
  SystemFile(const Directory* parent, const std::string& name,
             const std::string& path);
  ~SystemFile() override;
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;

  // Whether it opened; when not, failure() says why. A walk that finds a
  // link in the file's place says so with is_link(), whether it opened or
  // not.
  bool is_open() const { return handle_ != NOT_OPEN; }
  bool is_link() const { return link_; }
  // It did not open because it is not there (any more).
  bool is_gone() const { return gone_; }

  // Whether it was modified less than `age` ago (or in the future).
  bool modified_within(std::chrono::milliseconds age);

  // What it is, and its size when it is a regular file.
  bool query(EntryKind& kind, std::uint64_t& size);
  // Its last change, in seconds since 1970, as query found it.
  std::int64_t modified() const { return modified_; }

  // Makes reads wait for data, as the tool's do: a FIFO's writer may be
  // slow.
  bool wait_for_data();

  std::int64_t read_at(unsigned char* buffer, std::size_t size,
                       std::uint64_t offset) override;
  std::int64_t read_on(unsigned char* buffer, std::size_t size) override;
  SystemError failure() const override { return failure_; }
  bool refuses_offsets() const override { return refuses_offsets_; }

 private:
  static constexpr std::intptr_t NOT_OPEN = -1;
  std::intptr_t handle_ = NOT_OPEN;  // a descriptor, or a Windows handle
  bool in_walk_;                     // found by a walk, not named by the user
  bool link_ = false;
  std::int64_t modified_ = 0;
  bool gone_ = false;
  bool refuses_offsets_ = false;
  SystemError failure_;
};

#endif

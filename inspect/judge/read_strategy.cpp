#include "judge/read_strategy.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/errors.h"
#include "platform/system_file.h"

bool read_like_the_tool(FileReader& file, bool seekable, FileSample& sample,
                        SystemError& error) {
  thread_local std::unique_ptr<unsigned char[]> image(
      new unsigned char[IMAGE_CAPACITY]);
  std::size_t length = 0;
  while (length < IMAGE_CAPACITY) {
    const std::int64_t got =
        seekable ? file.read_at(image.get() + length, IMAGE_CAPACITY - length,
                                length)
                 : file.read_on(image.get() + length, IMAGE_CAPACITY - length);
    if (got < 0) {
      // Nothing was read on yet: the stream is still at its start.
      if (seekable && length == 0 && file.refuses_offsets())
        return read_like_the_tool(file, false, sample, error);
      error = file.failure();
      return false;
    }
    if (got == 0) break;
    length += static_cast<std::size_t>(got);
  }
  keep_image(image.get(), length, sample);
  return true;
}

std::optional<ReadSpan> tail_read(std::uint64_t size) {
  const std::size_t length =
      size < IMAGE_CAPACITY ? static_cast<std::size_t>(size) : IMAGE_CAPACITY;
  if (length < WHOLE_READ) return std::nullopt;
  // One byte past the end as well, below the capacity: if it comes, the file
  // has grown since its size was taken.
  return ReadSpan{length - sizeof END_RECORD,
                  length < IMAGE_CAPACITY ? sizeof END_RECORD + 1 : sizeof END_RECORD};
}

bool read_regular(FileReader& file, std::uint64_t size, FileSample& sample,
                  SystemError& error) {
  sample.size = size;
  sample.sized = true;
  unsigned char head[WHOLE_READ];
  const std::int64_t got = file.read_at(head, sizeof head, 0);
  if (got < 0) {
    if (file.refuses_offsets())
      return read_like_the_tool(file, false, sample, error);
    error = file.failure();
    return false;
  }
  // A read that asked for more than came back, from a file whose size says
  // the same, found its end: the whole file, as it was at one moment.
  if (static_cast<std::uint64_t>(got) < sizeof head) {
    if (static_cast<std::uint64_t>(got) == size) {
      keep_image(head, static_cast<std::size_t>(got), sample);
      return true;
    }
    return read_like_the_tool(file, true, sample, error);
  }
  const std::optional<ReadSpan> end = tail_read(size);
  if (!end) return read_like_the_tool(file, true, sample, error);
  const std::size_t length = static_cast<std::size_t>(end->offset) + sizeof END_RECORD;
  unsigned char tail[sizeof END_RECORD + 1];
  const std::int64_t tail_got = file.read_at(tail, end->size, end->offset);
  if (tail_got < 0) {
    error = file.failure();
    return false;
  }
  if (static_cast<std::size_t>(tail_got) != sizeof END_RECORD)
    return read_like_the_tool(file, true, sample, error);  // it changed
  std::memcpy(sample.start, head, sizeof sample.start);
  sample.start_size = sizeof sample.start;
  std::memcpy(sample.end, tail, sizeof END_RECORD);
  sample.end_size = sizeof END_RECORD;
  sample.length = length;
  return true;
}

ReadOutcome read_file(const Directory* parent, const std::string& name,
                      const std::string& path, FileSample& sample,
                      EntryKind& kind, SystemError& error,
                      std::chrono::milliseconds min_age) {
  SystemFile file(parent, name, path);
  if (file.is_link()) {
    kind = EntryKind::symlink;
    return ReadOutcome::not_regular;
  }
  // A walk found it, and a consumer took it before it was opened.
  if (parent != nullptr && file.is_gone()) return ReadOutcome::vanished;
  // The kind and size are asked first, the same on every platform; the
  // reads then tell whether the file changed since.
  std::uint64_t size = 0;
  EntryKind found = EntryKind::other;
  if (!file.is_open() || !file.query(found, size)) {
    error = file.failure();
    return ReadOutcome::cannot_open;
  }
  sample.modified = file.modified();
  sample.dated = true;
  if (found == EntryKind::directory) {
    error = system_error(EISDIR);
    return ReadOutcome::cannot_open;
  }
  // A writer may still be at it: leave it for a later run.
  if (found == EntryKind::regular && min_age.count() > 0 &&
      file.modified_within(min_age)) {
    kind = EntryKind::young;
    return ReadOutcome::not_regular;
  }
  if (found == EntryKind::regular)
    return read_regular(file, size, sample, error) ? ReadOutcome::read
                                                   : ReadOutcome::cannot_open;
  if (parent != nullptr) {
    kind = found;
    return ReadOutcome::not_regular;
  }
  // A FIFO or a device that the user named: read as the tool reads it.
  if (!file.wait_for_data()) {
    error = file.failure();
    return ReadOutcome::cannot_open;
  }
  return read_like_the_tool(file, false, sample, error)
             ? ReadOutcome::read
             : ReadOutcome::cannot_open;
}

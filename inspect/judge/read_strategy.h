// How the inspector reads what the checks look at of one file, as if the
// tool had read it to its end or to IMAGE_CAPACITY bytes. Written once,
// over what every platform gives: a read at an offset, a read on from the
// last, and the size it tells.
#ifndef TARNWICK_INSPECT_JUDGE_READ_STRATEGY_H
#define TARNWICK_INSPECT_JUDGE_READ_STRATEGY_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/report.h"
#include "platform/file_reader.h"

struct Directory;

// A small file comes whole in one read of this size, which also shows
// that it ends there.
inline constexpr std::size_t WHOLE_READ = 4096;

// A read of `size` bytes at `offset`.
struct ReadSpan {
  std::uint64_t offset = 0;
  std::size_t size = 0;
  bool operator==(const ReadSpan&) const = default;
};

// The read that read_regular makes after the head of a regular file of
// `size` bytes, for the end record: the six bytes before the end of what
// the tool would read, and one past them below IMAGE_CAPACITY, to see that
// the file has not grown. None when the head holds what the tool reads.
std::optional<ReadSpan> tail_read(std::uint64_t size);

// A regular file whose size, asked before any read, was `size`: reads its
// head, and the six bytes before the end of what the tool would read when
// the head did not hold it all. When the reads disagree with the size (the
// file changed, or it is one of the system's own files, which give less
// than asked before their end), it is read again the tool's way. False,
// with the system's reason in `error`, when a read fails.
bool read_regular(FileReader& file, std::uint64_t size, FileSample& sample,
                  SystemError& error);

// The tool's own way: reads on until IMAGE_CAPACITY bytes are in or the
// file ends; from the start at offsets when `seekable`, else one read
// after another.
bool read_like_the_tool(FileReader& file, bool seekable, FileSample& sample,
                        SystemError& error);

enum class ReadOutcome { read, cannot_open, not_regular, vanished };

// Reads the parts of a file that the checks look at, as if the tool had
// read it. A file the user named (`parent` null) is read as the tool reads
// it, whatever it is. A file met in a walk is read only if it is still a
// regular file when opened: otherwise its kind is given and nothing is
// read; if it is gone, it has vanished. A regular file modified less than
// `min_age` ago is not read either: its kind is young. On
// cannot_open, `error` holds the system's reason.
ReadOutcome read_file(const Directory* parent, const std::string& name,
                      const std::string& path, FileSample& sample,
                      EntryKind& kind, SystemError& error,
                      std::chrono::milliseconds min_age = {});

#endif

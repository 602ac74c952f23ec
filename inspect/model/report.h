// What the inspector says of one file: plain data that the judge fills and
// the printers turn into lines.
#ifndef TARNWICK_INSPECT_MODEL_REPORT_H
#define TARNWICK_INSPECT_MODEL_REPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "vardek_rules.h"

// vanished: a walk found it, and it was gone when it was opened, as files
// in a live spool are. excluded: a walk left it out, as the user asked;
// it is counted, never printed.
enum class Verdict {
  valid,
  bad_name,
  cannot_open,
  not_valid,
  skipped,
  vanished,
  excluded,
};

// What a walk finds in a directory, by the kind of entry.
enum class EntryKind {
  directory,
  regular,
  symlink,
  fifo,
  socket,
  character_device,
  block_device,
  other,
  young,  // a regular file modified more recently than --min-age asks
};

// What was read of one file: the bytes the checks look at, copied out of
// it, with how much the tool would read and how large the file is.
struct FileSample {
  unsigned char start[CHECKED_START_SIZE];
  std::size_t start_size = 0;
  unsigned char end[sizeof END_RECORD];
  std::size_t end_size = 0;
  std::size_t length = 0;   // bytes the tool reads: the size, up to 200000
  std::uint64_t size = 0;   // the file's whole size, where it has one
  bool sized = false;       // a regular file, whose size is known
  std::int64_t modified = 0;  // its last change, in seconds since 1970,
  bool dated = false;         // when the system told it

  CheckedBytes checked() const {
    return {{start, start_size}, {end, end_size}, length};
  }
};

// Keeps what the checks look at of a whole image that was read, `length`
// bytes of it.
void keep_image(const unsigned char* image, std::size_t length,
                FileSample& sample);

// A failure as the system told it: its words, which differ between
// systems and C libraries, and its error number, by the numbering of
// <cerrno> (on Windows, mapped from the system's own error).
struct SystemError {
  std::string text;
  int number = 0;  // 0 when no number fits
};

struct FileReport {
  std::string path;  // as the user named it, or as the walk joined it
  Verdict verdict = Verdict::skipped;
  NameCheck name{};          // every verdict but skipped
  ContentCheck content{};    // valid and not_valid
  FileSample read;           // valid and not_valid
  SystemError error;         // cannot_open: the system's reason
  EntryKind kind = EntryKind::regular;  // skipped: what was found
  bool exists = true;        // false when the path names nothing
  bool missing = false;      // an operand that names nothing the run could
                             // reach: reported, but no file judged
  bool regular = false;      // a regular file, as far as it could be told:
                             // what a list of files to act on may hold
};

// Names the printers share; the rules name their own parts and tests.
std::string_view kind_name(EntryKind kind);
std::string_view verdict_name(Verdict verdict);

// The symbolic name of an error number ("ENOENT"), the same on every
// system, for scripts to match; "EOTHER" for any number not listed in the
// manual page.
std::string_view errno_name(int number);

#endif

// Where a content test looked and what it found there, against what it
// takes: what both printers tell of a file that is not valid.
#ifndef TARNWICK_INSPECT_MODEL_FINDING_H
#define TARNWICK_INSPECT_MODEL_FINDING_H

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/report.h"

using ByteView = std::span<const unsigned char>;

struct Finding {
  std::size_t offset = 0;
  std::string found;                  // the bytes there (all bytes read, for length)
  std::vector<ByteView> expected;     // each pattern the test accepts
  // The timestamp head's other place, looked at too.
  std::size_t other_offset = 0;
  std::string other_found;
};

// What the failed content test of `report` found, with the bytes as
// contiguous strings of raw bytes.
Finding finding_of(const FileReport& report);

// What stopped the stem walk of a name whose stem failed.
struct StemStop {
  std::string_view stem;    // the characters accepted
  std::size_t at = 0;       // offset in the path of the byte that stopped it
  bool by_byte = false;     // a byte stopped it (else the name ended, or
  bool at_limit = false;    // the walk reached its limit)
  unsigned char byte = 0;
};
StemStop stem_stop(const FileReport& report);

// The directory part that the naming rule judged: the last directory's
// name with its separator, or empty when the path has none.
std::string_view last_directory(const FileReport& report);

// What follows the stem.
std::string_view extension_of(const FileReport& report);

// Bytes as lowercase hex digits; with a separator, one between each two.
void append_hex(std::string& out, std::string_view bytes,
                char separator = '\0');
void append_hex(std::string& out, ByteView bytes, char separator = '\0');

// Whether the file holds more than the bytes judged.
bool longer_than_judged(const FileSample& read);

#endif

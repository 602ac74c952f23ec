#include "model/finding.h"

namespace {

// No caller below passes an offset past `size` for a sample the judge kept,
// which holds the first min(length, CHECKED_START_SIZE) bytes: every test
// after the length one is made on MIN_FILE_SIZE bytes or more, which fill
// the start part whole, and each looks inside it (below);
// the length test reads from 0, and from the end part at end_size - beyond,
// with 0 < beyond <= end_size. The check stays for a report made otherwise.
static_assert(MIN_FILE_SIZE >= CHECKED_START_SIZE);
static_assert(ID_OFFSET + sizeof ID_SHORT <= CHECKED_START_SIZE &&
              HEAD_AFTER_SHORT_ID + sizeof TIMESTAMP_HEAD <= CHECKED_START_SIZE &&
              HEAD_AFTER_LONG_ID + sizeof TIMESTAMP_HEAD <= CHECKED_START_SIZE);
std::string bytes_at(const unsigned char* bytes, std::size_t size,
                     std::size_t offset, std::size_t count) {
  if (offset >= size) return {};
  if (count > size - offset) count = size - offset;
  return std::string(reinterpret_cast<const char*>(bytes) + offset, count);
}

}  // namespace

Finding finding_of(const FileReport& report) {
  const FileSample& read = report.read;
  const ContentCheck& check = report.content;
  Finding finding;
  finding.offset = check.offset;
  switch (check.failed) {
    case ContentTest::none:
      break;
    case ContentTest::length: {
      // A file this short is held whole by its two parts.
      finding.found = bytes_at(read.start, read.start_size, 0, read.start_size);
      const std::size_t beyond = read.length - read.start_size;
      if (read.length > read.start_size && beyond <= read.end_size)
        finding.found += bytes_at(read.end, read.end_size,
                                  read.end_size - beyond, beyond);
      break;
    }
    case ContentTest::marker:
      finding.found = bytes_at(read.start, read.start_size, 0, 1);
      finding.expected = {ByteView(&FILE_MARKER, 1)};
      break;
    case ContentTest::identification:
      finding.found = bytes_at(read.start, read.start_size, ID_OFFSET,
                               sizeof ID_SHORT);
      finding.expected = {ByteView(ID_SHORT), ByteView(ID_LONG)};
      break;
    case ContentTest::timestamp_head:
      finding.found = bytes_at(read.start, read.start_size, check.offset,
                               sizeof TIMESTAMP_HEAD);
      finding.other_offset = check.offset == HEAD_AFTER_SHORT_ID
                                 ? HEAD_AFTER_LONG_ID
                                 : HEAD_AFTER_SHORT_ID;
      finding.other_found = bytes_at(read.start, read.start_size,
                                     finding.other_offset,
                                     sizeof TIMESTAMP_HEAD);
      finding.expected = {ByteView(TIMESTAMP_HEAD)};
      break;
    case ContentTest::end_record:
      finding.found = bytes_at(read.end, read.end_size, 0, read.end_size);
      finding.expected = {ByteView(END_RECORD)};
      break;
  }
  return finding;
}

StemStop stem_stop(const FileReport& report) {
  const NameCheck& name = report.name;
  const std::string_view path = report.path;
  StemStop stop;
  stop.stem = path.substr(name.base, name.stem);
  stop.at = name.base + name.stem;
  if (name.stem >= STEM_WALK_LIMIT) {
    stop.at_limit = true;
  } else if (stop.at < path.size()) {
    stop.by_byte = true;
    stop.byte = static_cast<unsigned char>(path[stop.at]);
  }
  return stop;
}

std::string_view last_directory(const FileReport& report) {
  const std::string_view dir =
      std::string_view(report.path).substr(0, report.name.base);
  if (dir.empty()) return dir;
  std::size_t start = dir.size() - 1;
  while (start > 0 && dir[start - 1] != '/' && dir[start - 1] != '\\') --start;
  return dir.substr(start);
}

std::string_view extension_of(const FileReport& report) {
  return std::string_view(report.path)
      .substr(report.name.base + report.name.stem);
}

bool longer_than_judged(const FileSample& read) {
  return read.sized && read.size > read.length;
}

void append_hex(std::string& out, std::string_view bytes, char separator) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (separator != '\0' && i > 0) out += separator;
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += DIGITS[byte >> 4];
    out += DIGITS[byte & 0xF];
  }
}

void append_hex(std::string& out, ByteView bytes, char separator) {
  append_hex(out,
             std::string_view(reinterpret_cast<const char*>(bytes.data()),
                              bytes.size()),
             separator);
}

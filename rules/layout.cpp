// The check of a file's content against the layout in vardek_rules.h.
#include <cstring>

#include "vardek_rules.h"

namespace {

static_assert(sizeof ID_SHORT == sizeof ID_LONG);
static_assert(sizeof END_RECORD <= MIN_FILE_SIZE);
// The start that the checks read lies inside the smallest valid file, and
// holds the identification and either head place.
static_assert(CHECKED_START_SIZE <= MIN_FILE_SIZE);
static_assert(ID_OFFSET + sizeof ID_SHORT <= CHECKED_START_SIZE);

template <std::size_t N>
bool holds(std::span<const unsigned char> bytes, std::size_t offset,
           const unsigned char (&pattern)[N]) {
  return offset + N <= bytes.size() &&
         std::memcmp(bytes.data() + offset, pattern, N) == 0;
}

}  // namespace

CheckedBytes checked_bytes_of(std::span<const unsigned char> image) {
  const std::size_t length = image.size();
  const std::size_t start = length < CHECKED_START_SIZE ? length
                                                        : CHECKED_START_SIZE;
  const std::size_t end = length < sizeof END_RECORD ? length
                                                     : sizeof END_RECORD;
  return {image.first(start), image.last(end), length};
}

ContentCheck check_content(const CheckedBytes& image) {
  ContentCheck check{ContentTest::length, image.length, false, 0};
  // Parts that do not cover what the tests read count as too short.
  if (image.length < MIN_FILE_SIZE ||
      image.start.size() < CHECKED_START_SIZE ||
      image.end.size() < sizeof END_RECORD)
    return check;

  check.failed = ContentTest::marker;
  check.offset = 0;
  if (image.start[0] != FILE_MARKER) return check;

  check.failed = ContentTest::identification;
  check.offset = ID_OFFSET;
  const bool short_id = holds(image.start, ID_OFFSET, ID_SHORT);
  if (!short_id && !holds(image.start, ID_OFFSET, ID_LONG)) return check;
  check.long_id = !short_id;

  // The head belongs right after the identification value; a file that has
  // it at the other place is accepted too.
  const std::size_t natural =
      short_id ? HEAD_AFTER_SHORT_ID : HEAD_AFTER_LONG_ID;
  const std::size_t other = short_id ? HEAD_AFTER_LONG_ID : HEAD_AFTER_SHORT_ID;
  check.failed = ContentTest::timestamp_head;
  check.offset = natural;
  if (holds(image.start, natural, TIMESTAMP_HEAD))
    check.head = natural;
  else if (holds(image.start, other, TIMESTAMP_HEAD))
    check.head = other;
  else
    return check;

  check.failed = ContentTest::end_record;
  check.offset = image.length - sizeof END_RECORD;
  if (!holds(image.end, image.end.size() - sizeof END_RECORD, END_RECORD))
    return check;

  check.failed = ContentTest::none;
  check.offset = 0;
  return check;
}

TimestampKey timestamp_key(std::span<const unsigned char> start,
                           const ContentCheck& passed) {
  TimestampKey key{};
  const std::size_t value = passed.head + sizeof TIMESTAMP_HEAD;
  // Not a passed check, or not its start: no key to take.
  if (passed.failed != ContentTest::none || passed.head == 0 ||
      value + key.size() > start.size())
    return key;
  std::memcpy(key.data(), start.data() + value, key.size());
  return key;
}

TimestampKey timestamp_key(std::span<const unsigned char> valid_image) {
  const CheckedBytes parts = checked_bytes_of(valid_image);
  return timestamp_key(parts.start, check_content(parts));
}

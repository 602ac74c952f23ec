// Arbitrary bytes as a file image: the content check must agree with the
// layout stated independently below, and the key must be the six bytes
// after the head that the check found, inside the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vardek_rules.h"

namespace {

bool at(const std::uint8_t* data, std::size_t size, std::size_t offset,
        const char* text, std::size_t n) {
  return offset + n <= size && std::memcmp(data + offset, text, n) == 0;
}

void require(bool property) {
  if (!property) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > IMAGE_CAPACITY + 1) return 0;
  const std::span<const unsigned char> image(data, size);
  const std::size_t head = timestamp_head_offset(image);

  const bool short_id = at(data, size, 3, "\x01\x0C\x00VARDEK", 9);
  const bool long_id = at(data, size, 3, "\x01\x0F\x00VARDEK", 9);
  const bool head18 = at(data, size, 18, "\x02\x06\x00", 3);
  const bool head21 = at(data, size, 21, "\x02\x06\x00", 3);
  const bool valid = size >= 33 && data[0] == 0x23 && (short_id || long_id) &&
                     (head18 || head21) &&
                     at(data, size, size - 6, "\x04\x03\x00" "EOF", 6);
  require(image_is_valid(image) == valid);
  require((head != 0) == valid);

  // The first test to fail, in the order they are made, and where it looks.
  ContentTest test = ContentTest::none;
  std::size_t offset = 0;
  if (size < 33) {
    test = ContentTest::length;
    offset = size;
  } else if (data[0] != 0x23) {
    test = ContentTest::marker;
  } else if (!short_id && !long_id) {
    test = ContentTest::identification;
    offset = 3;
  } else if (!head18 && !head21) {
    test = ContentTest::timestamp_head;
    offset = short_id ? 18 : 21;
  } else if (!valid) {
    test = ContentTest::end_record;
    offset = size - 6;
  }
  const ContentCheck whole = check_content(checked_bytes_of(image));
  require(whole.failed == test && whole.offset == offset);
  // Only the first 30 and the last six bytes count.
  if (size >= 33) {
    const ContentCheck parts =
        check_content({image.first(30), image.last(6), size});
    require(parts.failed == whole.failed && parts.offset == whole.offset &&
            parts.head == whole.head && parts.long_id == whole.long_id);
  }
  if (!valid) return 0;

  // The head is taken from the identification form's own place first.
  const std::size_t natural = short_id ? 18 : 21;
  const bool natural_holds = natural == 18 ? head18 : head21;
  require(head == (natural_holds ? natural : 39 - natural));

  const TimestampKey key = timestamp_key(image);
  require(head + 3 + key.size() <= size);
  require(std::memcmp(key.data(), data + head + 3, key.size()) == 0);
  return 0;
}

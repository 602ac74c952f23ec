// The layout of command and response files, and the check of their content.
//
//   offset 0      0x23 '#'
//   offset 1      two bytes, not examined
//   offset 3      identification: 0x01, length 12 or 15 (LE16), "VARDEK"...
//   offset 18|21  timestamp: 0x02, length 6 (LE16), six value bytes
//   ...           anything
//   length - 6    end record: 0x04, length 3 (LE16), "EOF"
#include <cstring>

#include "vardek_file.h"

namespace {

// clang-format off
// The first byte of every file.
constexpr unsigned char FILE_MARKER = 0x23;
// Identification record head and the first six bytes of its value, with a
// 12-byte value (short form) or a 15-byte one (long form).
constexpr unsigned char ID_SHORT[] = {0x01, 0x0C, 0x00, 'V', 'A', 'R', 'D', 'E', 'K'};
constexpr unsigned char ID_LONG[]  = {0x01, 0x0F, 0x00, 'V', 'A', 'R', 'D', 'E', 'K'};
// Timestamp record head: tag and a value length of 6.
constexpr unsigned char TIMESTAMP_HEAD[] = {0x02, 0x06, 0x00};
// The record that closes the file, as the last six bytes read.
constexpr unsigned char END_RECORD[] = {0x04, 0x03, 0x00, 'E', 'O', 'F'};
// clang-format on

constexpr std::size_t ID_OFFSET = 3;
// Where the timestamp head follows a 12-byte and a 15-byte identification.
constexpr std::size_t HEAD_AFTER_SHORT_ID = 18;
constexpr std::size_t HEAD_AFTER_LONG_ID = 21;
// Marker, two free bytes, short identification, timestamp and end records.
constexpr std::size_t MIN_FILE_SIZE = 33;

static_assert(sizeof ID_SHORT == sizeof ID_LONG);
static_assert(sizeof END_RECORD <= MIN_FILE_SIZE);
// The key of either head place lies inside the smallest valid file.
static_assert(HEAD_AFTER_LONG_ID + sizeof TIMESTAMP_HEAD + TIMESTAMP_SIZE <=
              MIN_FILE_SIZE);

template <std::size_t N>
bool holds(const unsigned char* bytes, std::size_t offset,
           const unsigned char (&pattern)[N]) {
  return std::memcmp(bytes + offset, pattern, N) == 0;
}

}  // namespace

std::size_t timestamp_head_offset(std::span<const unsigned char> image) {
  const unsigned char* bytes = image.data();
  const std::size_t length = image.size();
  if (length < MIN_FILE_SIZE) return 0;
  if (bytes[0] != FILE_MARKER) return 0;

  const bool short_id = holds(bytes, ID_OFFSET, ID_SHORT);
  if (!short_id && !holds(bytes, ID_OFFSET, ID_LONG)) return 0;

  // The head belongs right after the identification value; a file that has
  // it at the other place is accepted too.
  const std::size_t natural =
      short_id ? HEAD_AFTER_SHORT_ID : HEAD_AFTER_LONG_ID;
  const std::size_t other = short_id ? HEAD_AFTER_LONG_ID : HEAD_AFTER_SHORT_ID;
  std::size_t head = 0;
  if (holds(bytes, natural, TIMESTAMP_HEAD))
    head = natural;
  else if (holds(bytes, other, TIMESTAMP_HEAD))
    head = other;
  else
    return 0;

  if (!holds(bytes, length - sizeof END_RECORD, END_RECORD)) return 0;
  return head;
}

TimestampKey timestamp_key(std::span<const unsigned char> valid_image) {
  TimestampKey key{};
  const std::size_t head = timestamp_head_offset(valid_image);
  if (head == 0) return key;  // not a valid image: no key to take
  std::memcpy(key.data(), valid_image.data() + head + sizeof TIMESTAMP_HEAD,
              key.size());
  return key;
}

void load_vardek_file(FileImage& image, InputFile file, const char* argument) {
  // One request for IMAGE_CAPACITY bytes: a longer file is judged on its
  // first IMAGE_CAPACITY bytes, and a read error is just a short image.
  image.length = read_up_to(file, image.bytes, IMAGE_CAPACITY);
  if (image_is_valid({image.bytes, image.length})) return;
  fail(RC_NOT_VALID,
       "tarnwick: File '%s' is not a valid Vardek command or response file\n",
       argument);
}

// Builds the bytes of command and response files for the tests.
#ifndef TARNWICK_TESTS_VARDEK_BYTES_H
#define TARNWICK_TESTS_VARDEK_BYTES_H

#include <cstddef>
#include <string>

#include "vardek_rules.h"

using Bytes = std::basic_string<unsigned char>;

// What the tool promises to read of a file, stated apart from its own
// IMAGE_CAPACITY, so that a change of that constant fails the tests.
inline constexpr std::size_t READ_LIMIT = 200000;

struct Layout {
  bool long_id = false;         // identification value of 15 bytes, not 12
  std::size_t head_at = 0;      // 0: where the identification form puts it
  TimestampKey stamp = {0x20, 0x26, 0x12, 0x08, 0x18, 0x30};
  std::size_t middle = 0;       // filler bytes before the end record
};

inline Bytes vardek_bytes(const Layout& layout = {}) {
  const std::size_t head =
      layout.head_at ? layout.head_at : (layout.long_id ? 21 : 18);
  Bytes b(head, 0xAA);
  b[0] = 0x23;
  const unsigned char id_length = layout.long_id ? 0x0F : 0x0C;
  const unsigned char id[] = {0x01, id_length, 0x00, 'V', 'A', 'R', 'D', 'E', 'K'};
  b.replace(3, sizeof id, id, sizeof id);
  b += {0x02, 0x06, 0x00};
  b.append(layout.stamp.begin(), layout.stamp.end());
  b.append(layout.middle, 0x55);
  b += {0x04, 0x03, 0x00, 'E', 'O', 'F'};
  return b;
}

// A copy of `b` with `text` written over it at `offset`.
inline Bytes patched(Bytes b, std::size_t offset, const Bytes& text) {
  b.replace(offset, text.size(), text);
  return b;
}

#endif

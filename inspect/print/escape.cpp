#include "print/escape.h"

#include "model/finding.h"

// Control bytes would break the line or move the cursor: they are shown as
// \xHH. Every other byte is written as it is.
void append_text_path(std::string& out, std::string_view path) {
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      append_hex(out, std::string_view(&c, 1));
    } else {
      out += c;
    }
  }
}

std::size_t utf8_sequence(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[at + i]);
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t size = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + size > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < size; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return size;
}

bool append_json_string(std::string& out, std::string_view text) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  bool exact = true;
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      out += "\\u00";
      out += DIGITS[c >> 4];
      out += DIGITS[c & 0xF];
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t size = utf8_sequence(text, i)) {
      out.append(text.substr(i, size));
      i += size;
    } else {
      out += "\xEF\xBF\xBD";
      exact = false;
      ++i;
    }
  }
  out += '"';
  return exact;
}

// UTF-16 and UTF-8, and Windows' long path form: what the Windows build
// needs to hand any path a user can type to the system, written as pure
// functions so that every platform tests them.
#include <cstdint>

#include "wide_text.h"

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Collects units into a caller's buffer and remembers whether they fitted.
template <typename Unit>
class Output {
 public:
  Output(Unit* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
  void put(char32_t unit) {
    if (size_ < capacity_) out_[size_] = static_cast<Unit>(unit);
    ++size_;
  }
  // Adds the terminator; gives the units written with it, or 0.
  std::size_t terminate_text() {
    put(0);
    return size_ <= capacity_ ? size_ : 0;
  }

 private:
  Unit* out_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

}  // namespace

std::size_t utf16_to_utf8(std::wstring_view text, char* out,
                          std::size_t capacity) {
  Output<char> utf8(out, capacity);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = static_cast<char16_t>(text[i]);
    if (is_high_surrogate(code) && i + 1 < text.size() &&
        is_low_surrogate(static_cast<char16_t>(text[i + 1]))) {
      const char32_t low = static_cast<char16_t>(text[++i]);
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    if (code < 0x80) {
      utf8.put(code);
    } else if (code < 0x800) {
      utf8.put(0xC0 | (code >> 6));
      utf8.put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      utf8.put(0xE0 | (code >> 12));
      utf8.put(0x80 | ((code >> 6) & 0x3F));
      utf8.put(0x80 | (code & 0x3F));
    } else {
      utf8.put(0xF0 | (code >> 18));
      utf8.put(0x80 | ((code >> 12) & 0x3F));
      utf8.put(0x80 | ((code >> 6) & 0x3F));
      utf8.put(0x80 | (code & 0x3F));
    }
  }
  return utf8.terminate_text();
}

std::size_t utf8_to_utf16(std::string_view text, wchar_t* out,
                          std::size_t capacity) {
  Output<wchar_t> utf16(out, capacity);
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    std::size_t more = 0;
    char32_t code = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, code = lead & 0x07;
    } else if (lead >= 0x80) {
      code = REPLACEMENT;  // a byte that cannot start a character
    }
    for (; more > 0; --more) {
      const auto next =
          static_cast<unsigned char>(i < text.size() ? text[i] : 0);
      if ((next & 0xC0) != 0x80) {
        code = REPLACEMENT;  // cut short: the next byte starts afresh
        break;
      }
      code = (code << 6) | (next & 0x3F);
      ++i;
    }
    if (code > 0x10FFFF) code = REPLACEMENT;
    if (code >= 0x10000) {
      utf16.put(0xD800 + ((code - 0x10000) >> 10));
      utf16.put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      utf16.put(code);
    }
  }
  return utf16.terminate_text();
}

std::size_t extended_length_path(std::wstring_view full_path, wchar_t* out,
                                 std::size_t capacity) {
  std::wstring_view prefix;
  std::wstring_view rest = full_path;
  const bool already = full_path.starts_with(L"\\\\?\\") ||
                       full_path.starts_with(L"\\\\.\\") ||
                       full_path.starts_with(L"\\??\\");
  if (already) {
    // Taken literally by the system: nothing to add, nothing to change.
  } else if (full_path.starts_with(L"\\\\") || full_path.starts_with(L"//")) {
    prefix = L"\\\\?\\UNC\\";
    rest.remove_prefix(2);
  } else if (full_path.size() >= 3 && full_path[1] == L':' &&
             (full_path[2] == L'\\' || full_path[2] == L'/')) {
    prefix = L"\\\\?\\";
  }
  Output<wchar_t> path(out, capacity);
  for (const wchar_t unit : prefix) path.put(static_cast<char32_t>(unit));
  // In the long form / is an ordinary character, no longer a separator.
  for (const wchar_t unit : rest)
    path.put(!already && unit == L'/' ? L'\\' : static_cast<char32_t>(unit));
  return path.terminate_text();
}

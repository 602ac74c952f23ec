// Arbitrary bytes as an option's number or length of time: each parser
// takes exactly what a second reading, in 128-bit arithmetic, takes, and
// refuses the rest; with bounds taken from the input's first bytes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "app/numbers.h"

namespace {

void require(bool property) {
  if (!property) std::abort();
}

using Wide = unsigned __int128;
constexpr Wide TOO_MANY = Wide{1} << 100;

// The digits at the start of `text`, and how many there are; TOO_MANY once
// the value passes 2^64 (it then only grows).
Wide digits_of(std::string_view text, std::size_t& digits) {
  Wide value = 0;
  for (digits = 0; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits)
    if (value < TOO_MANY) value = value * 10 + static_cast<unsigned>(text[digits] - '0');
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 16) return 0;
  std::uint64_t least = 0, most = 0;
  std::memcpy(&least, data, sizeof least);
  std::memcpy(&most, data + 8, sizeof most);
  // Small bounds, as the options have, most of the time.
  if ((least & 1) != 0) {
    least = (least >> 1) % 100;
    most %= 1000;
  }
  const std::string_view text(reinterpret_cast<const char*>(data + 16), size - 16);

  std::size_t digits = 0;
  const Wide value = digits_of(text, digits);
  const std::optional<std::uint64_t> count = parse_count(text, least, most);
  const bool is_count = digits > 0 && digits == text.size() && value >= least && value <= most;
  require(count.has_value() == is_count);
  if (count) require(*count == value);

  struct Unit {
    std::string_view name;
    Wide milliseconds;
  };
  constexpr Unit UNITS[] = {{"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
  std::optional<Wide> expected;
  for (const Unit& unit : UNITS)
    if (digits > 0 && text.substr(digits) == unit.name && value * unit.milliseconds <= INT64_MAX)
      expected = value * unit.milliseconds;
  const std::optional<std::chrono::milliseconds> duration = parse_duration(text);
  require(duration.has_value() == expected.has_value());
  if (duration) require(duration->count() >= 0 && static_cast<Wide>(duration->count()) == *expected);
  return 0;
}

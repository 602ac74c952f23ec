#include "app/numbers.h"

#include <cstddef>
#include <limits>

namespace {

// The digits at the start of `text`, as a number; empty when there are
// none or they overflow.
std::optional<std::uint64_t> leading_number(std::string_view text, std::size_t& digits) {
  std::uint64_t value = 0;
  digits = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return {};
    value = value * 10 + digit;
  }
  if (digits == 0) return {};
  return value;
}

}  // namespace

std::optional<std::uint64_t> parse_count(std::string_view text, std::uint64_t least,
                                         std::uint64_t most) {
  std::size_t digits = 0;
  const std::optional<std::uint64_t> value = leading_number(text, digits);
  if (!value || digits != text.size() || *value < least || *value > most) return {};
  return value;
}

std::optional<std::chrono::milliseconds> parse_duration(std::string_view text) {
  struct Unit {
    std::string_view name;
    std::uint64_t milliseconds;
  };
  static constexpr Unit UNITS[] = {
      {"ms", 1}, {"s", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
  std::size_t digits = 0;
  const std::optional<std::uint64_t> value = leading_number(text, digits);
  if (!value) return {};
  const std::string_view unit = text.substr(digits);
  constexpr auto MOST = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  for (const Unit& u : UNITS) {
    if (unit != u.name) continue;
    if (*value > MOST / u.milliseconds) return {};
    return std::chrono::milliseconds(static_cast<std::int64_t>(*value * u.milliseconds));
  }
  return {};
}

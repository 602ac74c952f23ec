// The numbers and lengths of time that options take, read strictly: digits
// in decimal, no sign, no space, no exponent, and a unit where one is due.
// Pure, so that the fuzzers and the tables reach them.
#ifndef TARNWICK_INSPECT_APP_NUMBERS_H
#define TARNWICK_INSPECT_APP_NUMBERS_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

// A whole number from `least` to `most`; empty when `text` is not one.
std::optional<std::uint64_t> parse_count(std::string_view text, std::uint64_t least,
                                         std::uint64_t most);

// A length of time: a whole number and its unit, ms, s, m, h or d (50ms,
// 30s, 5m, 2h, 1d); empty when `text` is not one, or is too long to count
// in milliseconds.
std::optional<std::chrono::milliseconds> parse_duration(std::string_view text);

#endif

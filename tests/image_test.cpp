#include <gtest/gtest.h>

#include "vardek_bytes.h"
#include "vardek_rules.h"

namespace {

constexpr TimestampKey STAMP = {0x20, 0x26, 0x12, 0x08, 0x18, 0x30};
constexpr TimestampKey NO_KEY = {};

struct ImageCase {
  Bytes bytes;
  std::size_t head;  // 0: not valid
  const char* why;
};

std::vector<ImageCase> image_cases() {
  const Bytes smallest = vardek_bytes();
  const Bytes long_form = vardek_bytes({.long_id = true});
  const Bytes at_capacity = vardek_bytes({.middle = READ_LIMIT - 33});
  const Bytes end_record = {0x04, 0x03, 0x00, 'E', 'O', 'F'};
  // clang-format off
  return {
    {smallest,                                        18, "33 bytes, short form"},
    {smallest.substr(0, 32),                           0, "32 bytes"},
    {smallest.substr(1),                               0, "first byte missing"},
    {{},                                               0, "empty"},
    {Bytes(32, 0x23),                                  0, "32 bytes of anything"},
    {smallest.substr(0, 21) + end_record,              0, "27 bytes holding every pattern"},
    {smallest.substr(0, 26) + end_record,              0, "32 bytes holding every pattern"},
    {long_form,                                       21, "long form, head at 21"},
    {vardek_bytes({.long_id = true, .head_at = 18}),  18, "long form, head at 18"},
    {vardek_bytes({.head_at = 21}),                   21, "short form, head at 21"},
    {vardek_bytes({.middle = 1000}),                  18, "records in between"},
    {patched(smallest, 1, {0xFF, 0x00}),              18, "bytes 1-2 are free"},
    {patched(smallest, 12, {0x02, 0x06, 0x00}),       18, "rest of the identification is free"},
    {patched(smallest, 0, {0x24}),                     0, "marker"},
    {patched(smallest, 4, {0x0D}),                     0, "identification length 13"},
    {patched(smallest, 5, {0x01}),                     0, "identification length high byte"},
    {patched(smallest, 6, {'v'}),                      0, "lower-case VARDEK"},
    {patched(smallest, 3, {0x02}),                     0, "identification tag"},
    {patched(smallest, 19, {0x07}),                    0, "timestamp length 7"},
    {patched(long_form, 21, {0x03}),                   0, "long form without head"},
    {patched(smallest, 30, {'e', 'o', 'f'}),           0, "lower-case eof"},
    {patched(smallest, 28, {0x05}),                    0, "end record length"},
    {smallest + Bytes{0x00},                           0, "a byte after EOF"},
    {at_capacity,                                     18, "exactly the capacity"},
    {at_capacity + end_record,                        18, "end record past the capacity still counts here"},
  };
  // clang-format on
}

TEST(ContentCheck, Table) {
  for (const auto& c : image_cases()) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(timestamp_head_offset(c.bytes), c.head);
    EXPECT_EQ(image_is_valid(c.bytes), c.head != 0);
  }
}

TEST(TimestampKey, IsTheValueAfterTheHeadThatWasFound) {
  struct KeyCase {
    Layout layout;
    const char* why;
  };
  // clang-format off
  const KeyCase cases[] = {
    {{},                                   "short form, head at 18"},
    {{.head_at = 21},                      "short form, head at 21"},
    {{.long_id = true},                    "long form, head at 21"},
    {{.long_id = true, .head_at = 18},     "long form, head at 18"},
    {{.long_id = true, .middle = 100},     "long form with records in between"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(timestamp_key(vardek_bytes(c.layout)), STAMP);
  }
}

TEST(TimestampKey, NaturalPlaceWinsWhenBothHoldAHead) {
  // A short-form file whose timestamp value starts with the head bytes: the
  // head at 18 is the record, the bytes at 21 are its value.
  const Bytes both = vardek_bytes({.stamp = {0x02, 0x06, 0x00, 1, 2, 3}});
  EXPECT_EQ(timestamp_key(both), (TimestampKey{0x02, 0x06, 0x00, 1, 2, 3}));
  // A long-form file with a head at 21 and also at 18: 21 is its place.
  const Bytes long_both = patched(vardek_bytes({.long_id = true}), 18, {0x02, 0x06, 0x00});
  EXPECT_EQ(timestamp_key(long_both), STAMP);
}

TEST(TimestampKey, InvalidImageHasNone) {
  EXPECT_EQ(timestamp_key(Bytes{}), NO_KEY);
  EXPECT_EQ(timestamp_key(Bytes(8, 0x23)), NO_KEY);
}

}  // namespace

namespace {

// The first test that failed, and where it looked.
struct FailureCase {
  Bytes bytes;
  ContentTest failed;
  std::size_t offset;
  const char* why;
};

TEST(ContentCheck, SaysWhichTestFailedFirst) {
  const Bytes smallest = vardek_bytes();
  const Bytes long_form = vardek_bytes({.long_id = true});
  // clang-format off
  const FailureCase cases[] = {
    {smallest,                                  ContentTest::none,          0, "valid"},
    {{},                                        ContentTest::length,          0, "empty"},
    {smallest.substr(0, 32),                    ContentTest::length,         32, "32 bytes"},
    {patched(smallest, 0, {0x24, 0x00, 0x00, 0x00}), ContentTest::marker,     0, "marker before identification"},
    {patched(smallest, 11, {'k'}),              ContentTest::identification,  3, "last byte of VARDEK"},
    {patched(patched(smallest, 3, {0}), 30, {0}), ContentTest::identification, 3, "identification before the end record"},
    {patched(smallest, 20, {0x01}),             ContentTest::timestamp_head, 18, "short form looks first at 18"},
    {patched(long_form, 21, {0x00}),            ContentTest::timestamp_head, 21, "long form looks first at 21"},
    {patched(smallest, 32, {'G'}),              ContentTest::end_record,     27, "end record at length - 6"},
    {smallest + Bytes(10, 0x00),                ContentTest::end_record,     37, "bytes after the end record"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const ContentCheck check = check_content(checked_bytes_of(c.bytes));
    EXPECT_EQ(check.failed, c.failed);
    EXPECT_EQ(check.offset, c.offset);
  }
}

// A caller that holds only the start and the end of a file gets the same
// answer as one that holds all of it; parts too short for their length are
// never read past.
TEST(ContentCheck, PartsAreEnough) {
  const Bytes big = vardek_bytes({.long_id = true, .middle = 5000});
  const CheckedBytes whole = checked_bytes_of(big);
  const CheckedBytes parts = {std::span(big).first(CHECKED_START_SIZE), std::span(big).last(6), big.size()};
  EXPECT_EQ(check_content(parts).failed, ContentTest::none);
  EXPECT_EQ(check_content(parts).head, check_content(whole).head);
  EXPECT_EQ(timestamp_key(parts.start, check_content(parts)), STAMP);
  const CheckedBytes short_start = {std::span(big).first(CHECKED_START_SIZE - 1), parts.end, big.size()};
  EXPECT_EQ(check_content(short_start).failed, ContentTest::length);
  const CheckedBytes short_end = {parts.start, std::span(big).last(5), big.size()};
  EXPECT_EQ(check_content(short_end).failed, ContentTest::length);
}

}  // namespace

// The inspector's read strategy, over a file that changes between the
// reads: whatever happens in between, what is judged is what the tool's own
// read loop would find in the file as it ends up, never a head of one
// version with the tail of another. Every platform runs this one strategy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "judge/read_strategy.h"
#include "vardek_bytes.h"

namespace {

// A file whose content becomes `after` once `reads_before_change` reads
// have been made of it, and that gives at most `most` bytes a read, as the
// system's own files do before their end.
class ChangingFile final : public FileReader {
 public:
  ChangingFile(Bytes before, Bytes after, int reads_before_change,
               std::size_t most = SIZE_MAX, bool fails = false)
      : before_(std::move(before)),
        after_(std::move(after)),
        change_at_(reads_before_change),
        most_(most),
        fails_(fails) {}

  std::int64_t read_at(unsigned char* buffer, std::size_t size,
                       std::uint64_t offset) override {
    if (fails_) return -1;
    const Bytes& now = reads_++ < change_at_ ? before_ : after_;
    if (offset >= now.size()) return 0;
    const std::size_t got =
        std::min({size, most_, static_cast<std::size_t>(now.size() - offset)});
    std::memcpy(buffer, now.data() + offset, got);
    return static_cast<std::int64_t>(got);
  }
  std::int64_t read_on(unsigned char* buffer, std::size_t size) override {
    const std::int64_t got = read_at(buffer, size, position_);
    if (got > 0) position_ += static_cast<std::uint64_t>(got);
    return got;
  }
  SystemError failure() const override { return {"Input/output error", EIO}; }

 private:
  Bytes before_, after_;
  int change_at_;
  std::size_t most_;
  bool fails_;
  int reads_ = 0;
  std::uint64_t position_ = 0;
};

Bytes of_size(std::size_t size, unsigned char stamp_byte = 0x30) {
  Layout layout;
  layout.stamp[5] = stamp_byte;
  const std::size_t bare = vardek_bytes(layout).size();
  layout.middle = size - bare;
  return vardek_bytes(layout);
}

// What the checks would be given had the tool read `file` whole.
FileSample as_the_tool_reads(const Bytes& file) {
  FileSample sample;
  keep_image(file.data(), std::min(file.size(), READ_LIMIT), sample);
  return sample;
}

Bytes start_of(const FileSample& s) { return {s.start, s.start_size}; }
Bytes end_of(const FileSample& s) { return {s.end, s.end_size}; }

struct Case {
  Bytes before;             // the file when its size is asked
  Bytes after;              // what it holds after some reads
  int reads_before_change;  // reads made of `before`
  std::size_t most;         // bytes a read gives at most
  const char* why;
};

TEST(ReadStrategy, JudgesTheFileAsItEndsUp) {
  const Bytes small = of_size(40), small_grown = of_size(80, 0x31);
  const Bytes large = of_size(5000), large_grown = of_size(6000, 0x31);
  const Bytes large_cut = of_size(4500, 0x31), huge = of_size(READ_LIMIT + 10);
  Bytes huge_grown = huge;
  huge_grown.append(1000, 0x77);
  const Bytes past_head = of_size(WHOLE_READ + 100), paged = of_size(300);
  const std::size_t ALL = SIZE_MAX;
  // clang-format off
  const Case cases[] = {
    {small,   small,       0, ALL, "a small file, unchanged: one read"},
    {large,   large,       0, ALL, "a large file, unchanged: head and tail"},
    {small,   small_grown, 0, ALL, "grows between the size and the head read"},
    {large,   large_grown, 1, ALL, "grows between the head read and the tail read"},
    {large,   large_cut,   1, ALL, "shrinks between the head read and the tail read"},
    {large,   small,       0, ALL, "shrinks below one read before the head read"},
    {small,   past_head,   0, ALL, "grows past one read before the head read"},
    {huge,    huge_grown,  1, ALL, "grows past the capacity: the bytes judged stay"},
    {Bytes(), small,       0, ALL, "a system file whose size says 0"},
    {Bytes(), paged,       0, 100, "a system file that gives 100 bytes a read"},
    {paged,   paged,       0, 100, "a file that gives less than asked before its end"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    ChangingFile file(c.before, c.after, c.reads_before_change, c.most);
    FileSample sample;
    SystemError error;
    ASSERT_TRUE(read_regular(file, c.before.size(), sample, error)) << error.text;
    const FileSample expected = as_the_tool_reads(c.after);
    EXPECT_EQ(sample.length, expected.length);
    EXPECT_EQ(start_of(sample), start_of(expected));
    EXPECT_EQ(end_of(sample), end_of(expected));
    EXPECT_EQ(sample.size, c.before.size()) << "the size as first asked";
  }
}

// The end record's read, which a batch makes ahead of the judge: the one
// read_regular asks after the head, so that the judge finds it made.
TEST(ReadStrategy, TheEndRecordsRead) {
  struct Row {
    std::uint64_t size;
    std::optional<ReadSpan> read;
    const char* why;
  };
  constexpr std::uint64_t CAP = IMAGE_CAPACITY;
  // clang-format off
  const Row rows[] = {
    {0,              std::nullopt,         "empty: the head read says it all"},
    {WHOLE_READ - 1, std::nullopt,         "held by the head read"},
    {WHOLE_READ,     ReadSpan{4090, 7},    "one head read long: the end record and one byte past it"},
    {5000,           ReadSpan{4994, 7},    "longer"},
    {CAP - 1,        ReadSpan{CAP - 7, 7}, "just below the capacity"},
    {CAP,            ReadSpan{CAP - 6, 6}, "at the capacity: nothing past it is read"},
    {CAP + 10,       ReadSpan{CAP - 6, 6}, "past the capacity: the end of what the tool reads"},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    EXPECT_EQ(tail_read(row.size), row.read);
  }
}

TEST(ReadStrategy, AFailedReadIsTheSystemsReason) {
  ChangingFile file(of_size(40), of_size(40), 0, SIZE_MAX, true);
  FileSample sample;
  SystemError error;
  EXPECT_FALSE(read_regular(file, 40, sample, error));
  EXPECT_EQ(error.text, "Input/output error");
  EXPECT_EQ(error.number, EIO);
}

}  // namespace

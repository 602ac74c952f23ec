// The real binary, run in a fresh directory on files written for each test:
// standard output, standard error and exit status, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "command_line_table.h"
#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

constexpr TimestampKey T0 = {0x20, 0x26, 0x12, 0x08, 0x18, 0x30};
constexpr TimestampKey T0_80 = {0x20, 0x26, 0x12, 0x80, 0x18, 0x30};
constexpr TimestampKey T0_7F = {0x20, 0x26, 0x12, 0x7F, 0x18, 0x30};
constexpr TimestampKey T0_TAIL1 = {0x20, 0x26, 0x12, 0x08, 0x18, 0x31};

}  // namespace

// The files every row can name.
void write_command_line_files(const ScratchDir& dir) {
  const Bytes smallest = vardek_bytes({.stamp = T0});
  dir.write("in/12345A678.ok", smallest);                                   // 33 bytes
  dir.write("out/12345A678.cmd", vardek_bytes({.long_id = true, .stamp = T0}));
  dir.write("in/11111A.ok", vardek_bytes({.stamp = T0_80}));
  dir.write("in/22222A.ok", vardek_bytes({.stamp = T0_7F}));
  dir.write("in/33333A333.ok", vardek_bytes({.long_id = true, .stamp = T0}));
  dir.write("in/44444A444.ok", vardek_bytes({.long_id = true, .stamp = T0_TAIL1}));
  dir.write("out/55555A.cmd", vardek_bytes({.head_at = 21, .stamp = T0}));
  dir.write("out/66666A.cmd", vardek_bytes({.long_id = true, .head_at = 18, .stamp = T0_TAIL1}));
  dir.write("in/99999A.fail", patched(smallest, 0, {'!'}));
  dir.write("in/00000A.ok", {});
  dir.write("in/32323A.ok", smallest.substr(1));
  const Bytes full = vardek_bytes({.stamp = T0_80, .middle = READ_LIMIT - 33});
  dir.write("in/20000A.ok", full);
  dir.write("in/20001A.ok", vardek_bytes({.stamp = T0_80, .middle = READ_LIMIT - 32}));
  dir.write("in/20002A.ok", full + Bytes(4096, 0x00));
  std::filesystem::create_directories(dir.path() / "in/77777A.ok");
}

namespace {

// clang-format off
const Row ROWS[] = {
  // The option scan.
  {{},                                   USAGE, 3, "no arguments"},
  {{"-q"},                               USAGE, 3, "only -q: quiet never silences usage"},
  {{"-q", "-q"},                         USAGE, 3, "only options"},
  {{"-x", "in/12345A678.ok"},            USAGE, 3, "unknown option"},
  {{"-", "in/12345A678.ok"},             USAGE, 3, "lone dash"},
  {{"-q", "-x", "in/12345A678.ok"},      USAGE, 3, "unknown option after -q"},
  {{"--q", "in/12345A678.ok"},           USAGE, 3, "only the second character counts"},
  {{"-q", "in/12345A678.ok"},            "",    0, "quiet"},
  {{"-Q", "in/12345A678.ok"},            "",    0, "either case"},
  {{"-quiet", "in/12345A678.ok"},        "",    0, "the rest of the word is ignored"},
  {{"in/12345A678.ok", "-q"},            bad_name("-q"), 4, "options only before the first file"},
  {{"in/12345A678.ok", "-x"},            bad_name("-x"), 4, "no usage after the first file"},
  {{"in/88888A.ok", "-q"},               no_open("in/88888A.ok"), 3, "first file opened before the second name"},
  // One file.
  {{"in/12345A678.ok"},                  "0\n", 0, "one valid file"},
  {{"out/12345A678.cmd"},                "0\n", 0, "one valid long-form file"},
  {{"in/99999A.fail"},                   not_valid("in/99999A.fail"), 4, "bad marker"},
  {{"in/00000A.ok"},                     not_valid("in/00000A.ok"), 4, "empty file"},
  {{"in/32323A.ok"},                     not_valid("in/32323A.ok"), 4, "32 bytes"},
  {{"in/20000A.ok"},                     "0\n", 0, "200000 bytes"},
  {{"in/20001A.ok"},                     not_valid("in/20001A.ok"), 4, "200001 bytes, own end record"},
  {{"in/20002A.ok"},                     "0\n", 0, "valid first 200000 bytes, then more"},
  {{"in/88888A.ok"},                     no_open("in/88888A.ok"), 3, "missing file"},
  {{"in/77777A.ok"},                     no_open("in/77777A.ok"), 3, "a directory"},
  {{"in/12345A678.cmd"},                 bad_name("in/12345A678.cmd"), 4, "bad name"},
  {{"in/12345A678"},                     bad_name("in/12345A678"), 4, "stem running to the end of the argument"},
  {{"out/123456"},                       bad_name("out/123456"), 4, "short stem running to the end of the argument"},
  {{"-q", "in/99999A.fail"},             "", 4, "quiet content failure"},
  {{"-q", "in/88888A.ok"},               "", 3, "quiet open failure"},
  {{"-q", "in/12345A678.cmd"},           "", 4, "quiet name failure"},
  {{"-qin", "123456.ok"},                "", 4, "no directory: nothing before the path is read"},
  // Quotes left by a shell.
  {{"\"in/12345A678.ok\""},              "0\n", 0, "quoted at both ends"},
  {{"in/12345A678.ok\""},                "0\n", 0, "closing quote alone"},
  {{"\"in/12345A678.ok"},                "0\n", 0, "opening quote alone"},
  {{"\"in/88888A.ok\""},                 no_open("in/88888A.ok"), 3, "open message without quotes"},
  {{"\"in/99999A.fail\""},               not_valid("\"in/99999A.fail"), 4, "content message keeps the opening quote"},
  {{"\"in/1.ok\""},                      bad_name("in/1.ok"), 4, "name message without quotes"},
  {{"\"in/12345A678\""},                 bad_name("in/12345A678"), 4, "stem running to the cut closing quote"},
  {{""},                                 bad_name(""), 4, "empty argument"},
  {{"\""},                               bad_name(""), 4, "a single quote"},
  {{"\"\""},                             bad_name(""), 4, "a pair of quotes"},
  // Two files, and the order of the checks.
  {{"in/12345A678.ok", "out/12345A678.cmd"}, "0\n", 0, "same timestamp, both forms"},
  {{"in/12345A678.ok", "in/12345A678.ok"},   "0\n", 0, "same file twice"},
  {{"in/11111A.ok", "in/22222A.ok"},     "1\n", 1, "0x80 > 0x7F: unsigned bytes"},
  {{"in/22222A.ok", "in/11111A.ok"},     "2\n", 2, "0x7F < 0x80: unsigned bytes"},
  {{"-q", "in/11111A.ok", "in/22222A.ok"}, "", 1, "quiet verdict"},
  {{"in/33333A333.ok", "in/44444A444.ok"}, "2\n", 2, "long forms differing in the last byte"},
  {{"in/44444A444.ok", "in/33333A333.ok"}, "1\n", 1, "long forms differing in the last byte"},
  {{"in/12345A678.ok", "out/55555A.cmd"}, "0\n", 0, "head at 18 against head at 21: values compared"},
  {{"out/66666A.cmd", "out/55555A.cmd"},  "1\n", 1, "long form with head at 18"},
  {{"in/20000A.ok", "in/12345A678.ok"},  "1\n", 1, "large file against small"},
  {{"in/12345A678.ok", "in/12345A678.ok", "in/88888A.ok"}, "0\n", 0, "third argument never looked at"},
  {{"in/12345A678.ok", "in/12345A678.ok", "-x"}, "0\n", 0, "third argument never looked at"},
  {{"in/88888A.ok", "bad"},              no_open("in/88888A.ok"), 3, "first open before second name"},
  {{"in/99999A.fail", "bad"},            bad_name("bad"), 4, "both names before any content"},
  {{"in/99999A.fail", "in/88888A.ok"},   no_open("in/88888A.ok"), 3, "both opens before any content"},
  {{"in/99999A.fail", "in/12345A678.ok"}, not_valid("in/99999A.fail"), 4, "first content before second"},
  {{"in/12345A678.ok", "in/99999A.fail"}, not_valid("in/99999A.fail"), 4, "second content"},
  {{"in/12345A678.ok", "in/77777A.ok"},  no_open("in/77777A.ok"), 3, "second is a directory"},
};
// clang-format on

TEST(CommandLine, Table) {
  const ScratchDir dir;
  write_command_line_files(dir);
  expect_rows(ROWS);
}

}  // namespace

std::span<const Row> command_line_rows() { return ROWS; }

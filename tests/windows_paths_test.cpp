// What only a Windows build shows: backslashes open files too, drive paths,
// and quotes that a Windows shell leaves on an argument.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"

namespace {

TEST(WindowsPaths, Table) {
  if (!tool_is_windows_program()) GTEST_SKIP() << "only for a Windows binary";
  const ScratchDir dir;
  dir.write("in/12345A678.ok", vardek_bytes());
  dir.write("out/12345A678.cmd", vardek_bytes({.long_id = true}));
  dir.write("in/99999A.fail", {});
  std::filesystem::create_directories(dir.path() / "in/77777A.ok");
  // Wine shows the Unix root as drive Z:.
  std::string drive = "Z:" + dir.path().string() + "/out/12345A678.cmd";
  std::replace(drive.begin(), drive.end(), '/', '\\');

  // clang-format off
  const Row rows[] = {
    {{"in\\12345A678.ok"},                    "0\n", 0, "backslash opens the file in folder in"},
    {{drive},                                 "0\n", 0, "drive path"},
    {{"in\\12345A678.ok", drive},             "0\n", 0, "two files, same timestamp"},
    {{"\"in\\12345A678.ok\""},                "0\n", 0, "quoted path"},
    {{"in\\12345A678.ok\""},                  "0\n", 0, "trailing quote only"},
    {{"\"in\\99999A.fail\""},                 not_valid("\"in\\99999A.fail"), 4, "content message keeps the opening quote"},
    {{"in\\77777A.ok"},                       no_open("in\\77777A.ok"), 3, "directory named like a file"},
    {{"in\\88888A.ok"},                       no_open("in\\88888A.ok"), 3, "missing file"},
    {{"IN\\12345A678.ok"},                    bad_name("IN\\12345A678.ok"), 4, "case matters, even where the file system ignores it"},
  };
  // clang-format on
  expect_rows(rows);
}

}  // namespace

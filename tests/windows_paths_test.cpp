// What only a Windows build shows: backslashes open files too, drive paths,
// quotes that a Windows shell leaves on an argument, folder names in any
// script, and files that other programs hold open. The conversions and the
// long path form beneath them are pure, so they are tested everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "messages.h"
#include "run_tool.h"
#include "vardek_bytes.h"
#include "wide_text.h"

namespace {

// Runs the tool while tests/hold_file.cpp holds `path` open in `mode`. The
// emulator that run_tool puts after this launcher is "$1".
std::vector<std::string> held(const std::string& mode, const std::string& path) {
  const auto helper = std::filesystem::path(std::getenv("TARNWICK_BINARY"))
                          .replace_filename("hold_file.exe");
  return {"sh", "-c",
          "\"$1\" '" + helper.string() + "' " + mode + " '" + path + "' >held-" + mode +
              " & i=0; while [ ! -s held-" + mode + " ] && [ $i -lt 300 ]; do sleep 0.1;"
              " i=$((i+1)); done; grep -q '^held' held-" + mode + " && exec \"$@\"",
          "sh"};
}

TEST(WindowsPaths, Table) {
  if (!tool_is_windows_program()) GTEST_SKIP() << "only for a Windows binary";
  const ScratchDir dir;
  dir.write("in/12345A678.ok", vardek_bytes());
  dir.write("out/12345A678.cmd", vardek_bytes({.long_id = true}));
  dir.write("in/99999A.fail", {});
  std::filesystem::create_directories(dir.path() / "in/77777A.ok");
  dir.write("Αρχεία/in/12345A678.ok", vardek_bytes());
  dir.write("Данные/in/12345A678.ok", vardek_bytes());
  dir.write("数据/out/12345A678.cmd", vardek_bytes({.long_id = true}));
  // A code page's best fit turns Łódź into Lodz or Lódz: the newer files.
  dir.write("Łódź/in/12345A.ok", vardek_bytes({.stamp = {0x20, 0x26, 0, 0, 0, 1}}));
  dir.write("Lodz/in/12345A.ok", vardek_bytes({.stamp = {0x20, 0x26, 0, 0, 0, 2}}));
  dir.write("Lódz/in/12345A.ok", vardek_bytes({.stamp = {0x20, 0x26, 0, 0, 0, 3}}));
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
    {{"Αρχεία\\in\\12345A678.ok"},            "0\n", 0, "Greek folder"},
    {{"Данные\\in\\12345A678.ok"},            "0\n", 0, "Cyrillic folder"},
    {{"数据\\out\\12345A678.cmd"},            "0\n", 0, "Chinese folder"},
    {{"Данные\\in\\88888A.ok"},               no_open("Данные\\in\\88888A.ok"), 3, "the message carries the path in UTF-8"},
    {{"Łódź\\in\\12345A.ok", "Lodz\\in\\12345A.ok"}, "2\n", 2, "the file named, not its look-alike Lodz"},
    {{"Łódź\\in\\12345A.ok", "Lódz\\in\\12345A.ok"}, "2\n", 2, "the file named, not its look-alike Lódz"},
    {{"in\\12345A678.ok"}, "0\n", 0, "held with read and delete access, all shared", held("read-delete", "in\\12345A678.ok")},
    {{"out\\12345A678.cmd"}, "0\n", 0, "held with write access, reading shared",    held("write", "out\\12345A678.cmd")},
  };
  // clang-format on
  expect_rows(rows);
}

// The inspector on Windows: a walk through folders in other scripts, paths
// joined with backslashes and written as UTF-8, and files held by others.
TEST(WindowsPaths, Inspector) {
  if (!tool_is_windows_program()) GTEST_SKIP() << "only for a Windows binary";
  const ScratchDir dir;
  dir.write("Αρχεία/in/12345A678.ok", vardek_bytes());
  dir.write("Αρχεία/in/54321A.ok", {});
  dir.write("数据/out/12345A678.cmd", vardek_bytes({.long_id = true}));
  dir.write("Ζεύγη/in/12345A.ok", vardek_bytes({.stamp = {0x20, 0x26, 0x12, 0x08, 0x18, 0x31}}));
  dir.write("Ζεύγη/out/12345A.cmd", vardek_bytes());
  const std::string valid =
      ": valid: short form (12-byte identification), timestamp head at 18, key 202612081830\n";
  const std::string valid_long =
      ": valid: long form (15-byte identification), timestamp head at 21, key 202612081830\n";
  // clang-format off
  const Row rows[] = {
    {{"Αρχεία"}, "Αρχεία\\in\\12345A678.ok" + valid +
                 "Αρχεία\\in\\54321A.ok: not valid: length: 0 bytes read, at least 33 needed\n" +
                 summary_line({.valid = 1, .not_valid = 1}),
                 4, "a Greek folder, walked"},
    {{"--json", "数据\\out\\12345A678.cmd"},
     "{\"type\":\"file\",\"path\":\"数据\\\\out\\\\12345A678.cmd\",\"verdict\":\"valid\",\"form\":\"long\","
     "\"head\":21,\"key\":\"202612081830\",\"length\":36}\n"
     "{\"type\":\"summary\",\"schema\":1,\"files\":1,\"valid\":1,\"not-valid\":0,\"bad-name\":0,"
     "\"cannot-open\":0,\"skipped\":0,\"vanished\":0,\"excluded\":0,\"missing\":0" RUN_FIELDS "0}\n",
     0, "a Chinese folder in JSON"},
    {{"--summary", "Αρχεία\\in\\12345A678.ok"},
     summary_line({.valid = 1}), 0,
     "held with read and delete access, all shared", held("read-delete", "Αρχεία\\in\\12345A678.ok")},
    {{"数据"}, "数据\\out\\12345A678.cmd" + valid_long +
               summary_line({.valid = 1}),
     0, "held with write access, reading shared", held("write", "数据\\out\\12345A678.cmd")},
    {{"--pairs", "--json", "Ζεύγη"},
     "{\"type\":\"file\",\"path\":\"Ζεύγη\\\\in\\\\12345A.ok\",\"verdict\":\"valid\",\"form\":\"short\","
     "\"head\":18,\"key\":\"202612081831\",\"length\":33}\n"
     "{\"type\":\"file\",\"path\":\"Ζεύγη\\\\out\\\\12345A.cmd\",\"verdict\":\"valid\",\"form\":\"short\","
     "\"head\":18,\"key\":\"202612081830\",\"length\":33}\n"
     "{\"type\":\"pair\",\"command\":\"Ζεύγη\\\\out\\\\12345A.cmd\",\"response\":\"Ζεύγη\\\\in\\\\12345A.ok\","
     "\"state\":\"answered\",\"outcome\":\"ok\",\"command_key\":\"202612081830\","
     "\"response_key\":\"202612081831\",\"age_s\":null}\n"
     "{\"type\":\"pairs\",\"commands\":1,\"answered\":1,\"stale\":0,\"same\":0,\"pending\":0,"
     "\"conflict\":0,\"bad-response\":0,\"bad-command\":0,\"young\":0,\"unknown\":0,\"orphan\":0,\"answered-ok\":1,\"answered-fail\":0,\"pending_by_age\":"
     "{\"under_1m\":0,\"under_10m\":0,\"under_1h\":0,\"under_1d\":0,\"older\":0}}\n"
     "{\"type\":\"summary\",\"schema\":1,\"files\":2,\"valid\":2,\"not-valid\":0,\"bad-name\":0,"
     "\"cannot-open\":0,\"skipped\":0,\"vanished\":0,\"excluded\":0,\"missing\":0" RUN_FIELDS "0}\n",
     0, "a command and its response paired under a Greek folder"},
  };
  // clang-format on
  expect_inspector_rows(rows);
}

TEST(WindowsText, Utf16AndUtf8) {
  struct TextCase {
    std::wstring_view utf16;
    std::string_view utf8;
    const char* why;
  };
  // clang-format off
  const TextCase cases[] = {
    {L"in\\12345A.ok",  "in\\12345A.ok",           "ASCII as it is"},
    {L"Łódź",           "Łódź",                    "two-byte characters"},
    {L"数据",           "数据",                    "three-byte characters"},
    {L"\xD83D\xDE00",   "\xF0\x9F\x98\x80",        "a surrogate pair is one four-byte character"},
    {L"\xD800x",        "\xED\xA0\x80x",           "a lone high surrogate survives the round trip"},
    {L"a\xDC00",        "a\xED\xB0\x80",           "a lone low surrogate survives the round trip"},
    {L"",               "",                        "empty"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    char utf8[32];
    wchar_t utf16[32];
    ASSERT_EQ(utf16_to_utf8(c.utf16, utf8, sizeof utf8), c.utf8.size() + 1);
    EXPECT_EQ(std::string_view(utf8), c.utf8);
    ASSERT_EQ(utf8_to_utf16(c.utf8, utf16, 32), c.utf16.size() + 1);
    EXPECT_EQ(std::wstring_view(utf16), c.utf16);
  }
  wchar_t one[2];
  EXPECT_EQ(utf8_to_utf16("\xFF", one, 2), 2u) << "a stray byte is one replacement";
  EXPECT_EQ(one[0], L'\xFFFD');
  EXPECT_EQ(utf8_to_utf16("\xE6\x95", one, 2), 2u) << "a cut-short character too";
  EXPECT_EQ(one[0], L'\xFFFD');
  char small[2];
  EXPECT_EQ(utf16_to_utf8(L"ab", small, 2), 0u) << "no room for the terminator";
}

TEST(WindowsText, LongPathForm) {
  struct PathCase {
    std::wstring_view full;
    std::wstring_view extended;
    const char* why;
  };
  // clang-format off
  const PathCase cases[] = {
    {L"C:\\data\\in\\12345A.ok",         L"\\\\?\\C:\\data\\in\\12345A.ok",           "drive path"},
    {L"C:/data/in/12345A.ok",            L"\\\\?\\C:\\data\\in\\12345A.ok",           "slashes become backslashes"},
    {L"\\\\server\\share\\in\\12345A.ok", L"\\\\?\\UNC\\server\\share\\in\\12345A.ok", "UNC path"},
    {L"//server/share/in/12345A.ok",     L"\\\\?\\UNC\\server\\share\\in\\12345A.ok", "UNC path with slashes"},
    {L"\\\\?\\C:\\in/12345A.ok",         L"\\\\?\\C:\\in/12345A.ok",                  "already long: taken literally"},
    {L"\\\\.\\pipe\\in\\12345A.ok",      L"\\\\.\\pipe\\in\\12345A.ok",               "device path"},
    {L"in\\12345A.ok",                   L"in\\12345A.ok",                            "not a full path"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    wchar_t out[64];
    ASSERT_EQ(extended_length_path(c.full, out, 64), c.extended.size() + 1);
    EXPECT_EQ(std::wstring_view(out), c.extended);
  }
  wchar_t small[8];
  EXPECT_EQ(extended_length_path(L"C:\\in\\1.ok", small, 8), 0u) << "does not fit";
}

}  // namespace

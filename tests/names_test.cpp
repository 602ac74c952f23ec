#include <gtest/gtest.h>

#include "vardek_rules.h"

namespace {

constexpr auto REJECTED = NameKind::rejected;
constexpr auto RESPONSE = NameKind::response;
constexpr auto COMMAND = NameKind::command;

struct NameCase {
  std::string_view path;
  NameKind kind;
  const char* why;
};

// clang-format off
const NameCase NAME_CASES[] = {
  {"in/12345A678.ok",             RESPONSE, "long stem, ok"},
  {"in\\12345A678.fail",          RESPONSE, "backslash separator, fail"},
  {"out/12345A678.cmd",           COMMAND,  "command file"},
  {"out/123456.cmd",              COMMAND,  "six digits"},
  {"/var/spool/in/12345a.ok",     RESPONSE, "lower-case letter at position 5"},
  {"admin/123456789.fail",        RESPONSE, "any directory ending in 'in'"},
  {"C:\\spool\\out\\12345Z999.cmd", COMMAND, "drive path"},
  {"in/out/123456.cmd",           COMMAND,  "only the last directory counts"},
  {"out\\in/123456.ok",           RESPONSE, "mixed separators"},
  {"in//123456.ok",               REJECTED, "empty last directory"},
  {"12345A678.ok",                REJECTED, "no directory"},
  {"n/12345A678.ok",              REJECTED, "prefix shorter than 'in/'"},
  {"ut/12345A678.cmd",            REJECTED, "prefix shorter than 'out/'"},
  {"in/12345A678.cmd",            REJECTED, "command extension in 'in'"},
  {"out/12345A678.ok",            REJECTED, "response extension in 'out'"},
  {"out/12345A678.fail",          REJECTED, "response extension in 'out'"},
  {"IN/12345A678.ok",             REJECTED, "directory case"},
  {"in/12345A678.OK",             REJECTED, "extension case"},
  {"in/1234A5678.ok",             REJECTED, "letter before position 5"},
  {"in/12345AB78.ok",             REJECTED, "second letter: stem 12345A, rest is no extension"},
  {"in/1234567.ok",               REJECTED, "stem of 7"},
  {"in/12345A67.ok",              REJECTED, "stem of 8"},
  {"in/12345A6789.ok",            REJECTED, "stem of 10"},
  {"in/12345A67890123.ok",        REJECTED, "walk stops at 10"},
  {"in/12345.ok",                 REJECTED, "stem of 5"},
  {"in/a2345A.ok",                REJECTED, "letter first, the rest a good stem"},
  {"out/X23456.cmd",              REJECTED, "capital first, the rest a good stem"},
  {"in/.23456.ok",                REJECTED, "'.' first: the byte before '/', which is before '0'"},
  {"in/:2345A678.ok",             REJECTED, "':' first: the byte after '9'"},
  {"in/ 2345A.ok",                REJECTED, "space first"},
  {"in/\x80" "2345A.ok",          REJECTED, "high byte first"},
  {"in/12345z.ok",                RESPONSE, "z, the last lower-case letter"},
  {"in/12345Z.ok",                RESPONSE, "Z, the last upper-case letter"},
  {"in/12345@.ok",                REJECTED, "@, just before A"},
  {"in/12345[.ok",                REJECTED, "[, just after Z"},
  {"in/12345`.ok",                REJECTED, "backquote, just before a"},
  {"in/12345{.ok",                REJECTED, "{, just after z"},
  {"in/12345:.ok",                REJECTED, "colon, just after the digits"},
  {"in/12345A678.ok.bak",         REJECTED, "something after the extension"},
  {"in/12345A678",                REJECTED, "no extension"},
  {"in/12345A",                   REJECTED, "short stem running to the end"},
  {"out/123456789",               REJECTED, "long stem running to the end"},
  {"in/1234567890",               REJECTED, "ten digits running to the end"},
  {std::string_view("in/123456.ok", 9), REJECTED, "stem running to the end, its extension beyond it"},
  {std::string_view("out/12345A678.cmd", 13), REJECTED, "long stem running to the end, its extension beyond it"},
  {"in/12345A678.",               REJECTED, "bare dot"},
  {"out/123456",                  REJECTED, "command file without extension"},
  {"out/123456.",                 REJECTED, "command file, bare dot"},
  {"out/123456.cm",               REJECTED, "command extension cut short"},
  {"out/123456.cmdx",             REJECTED, "command extension and more"},
  {"in/12345\x80" "678.ok",       REJECTED, "high byte at position 5"},
  {"in/12345\xC3\x89" "78.ok",    REJECTED, "UTF-8 letter at position 5"},
  {"in/",                         REJECTED, "no base name"},
  {"",                            REJECTED, "empty path"},
  {"in/12345A678.ok/",            REJECTED, "trailing separator"},
  {"in/12345A678.ok\n",           REJECTED, "trailing newline"},
  {"in/ 12345A678.ok",            REJECTED, "leading space in the base name"},
  {std::string_view("in/123456.ok\0x", 14), REJECTED, "NUL inside the name"},
};
// clang-format on

TEST(NameKind, Table) {
  for (const auto& c : NAME_CASES) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(name_kind(c.path), c.kind) << c.path;
  }
}

}  // namespace

namespace {

// Which part of the rule failed, and how far the stem walk got.
struct RuleCase {
  std::string_view path;
  NameRule failed;
  std::size_t base;
  std::size_t stem;
  const char* why;
};

// clang-format off
const RuleCase RULE_CASES[] = {
  {"in/12345A678.ok",      NameRule::none,    3,  9, "long stem"},
  {"data\\out\\123456.cmd", NameRule::none,   9,  6, "backslashes"},
  {"12345A.ok",            NameRule::directory, 0,  0, "no directory: the stem is never walked"},
  {"x/12345A.ok",          NameRule::directory, 2,  0, "a directory of neither kind"},
  {"IN/12345A.ok",         NameRule::directory, 3,  0, "directory case"},
  {"in/a2345A.ok",         NameRule::stem,      3,  0, "a letter first"},
  {"in/ 2345A.ok",         NameRule::stem,      3,  0, "a space first"},
  {"in/.2345A.ok",         NameRule::stem,      3,  0, "a dot first"},
  {"in/1234A5678.ok",      NameRule::stem,      3,  4, "a letter at position 4"},
  {"in/12345",             NameRule::stem,      3,  5, "the name ends in the stem"},
  {"in/1234567",           NameRule::stem,      3,  7, "seven digits to the end of the name"},
  {"in/12345A6789.ok",     NameRule::stem,      3, 10, "the walk stops at 10"},
  {"in/12345A678",         NameRule::extension, 3,  9, "a stem to the end of the name, no extension"},
  {"in/123456",            NameRule::extension, 3,  6, "a short stem to the end of the name"},
  {"in/12345AB78.ok",      NameRule::extension, 3,  6, "a second letter ends the stem"},
  {"out/12345A.ok",        NameRule::extension, 4,  6, "the other kind's extension"},
};
// clang-format on

TEST(NameCheck, SaysWhichPartFailed) {
  for (const auto& c : RULE_CASES) {
    SCOPED_TRACE(c.why);
    const NameCheck check = check_name(c.path);
    EXPECT_EQ(check.failed, c.failed);
    EXPECT_EQ(check.base, c.base);
    EXPECT_EQ(check.stem, c.stem);
    EXPECT_EQ(check.kind == NameKind::rejected, c.failed != NameRule::none);
  }
}

}  // namespace

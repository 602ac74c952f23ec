// The inspector's printers on paths that JSON and a terminal cannot take as
// they are: what is escaped, what is replaced, and that nothing is lost.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "print/sink.h"

namespace {

struct PathCase {
  std::string path;
  std::string json;  // the "path" field as written
  bool hex;          // whether "path_hex" must carry the bytes
  std::string text;  // the path as the text line shows it
  const char* why;
};

// clang-format off
const PathCase PATH_CASES[] = {
  {"in/a\"b\\c",               R"("in/a\"b\\c")",            false, "in/a\"b\\c",         "quote and backslash escaped in JSON only"},
  {"in/\x01\x1f\x7f",          R"("in/\u0001\u001f)" "\x7f\"", false, "in/\\x01\\x1f\\x7f", "control bytes"},
  {"in/\n",                    R"("in/\u000a")",             false, "in/\\x0a",            "a newline cannot break a line"},
  {"Αρχεία/数据/😀",            "\"Αρχεία/数据/😀\"",           false, "Αρχεία/数据/😀",       "two-, three- and four-byte characters"},
  {"in/\xC3",                  "\"in/\xEF\xBF\xBD\"",        true,  "in/\xC3",             "a character cut short"},
  {"in/\xC0\x80",              "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\"", true, "in/\xC0\x80",     "an overlong NUL"},
  {"in/\xE0\x9F\xBF",          "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", true, "in/\xE0\x9F\xBF", "an overlong three-byte form"},
  {"in/\xED\xA0\x80",          "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", true, "in/\xED\xA0\x80", "a surrogate, as a Windows name may hold"},
  {"in/\xF4\x90\x80\x80",      "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", true, "in/\xF4\x90\x80\x80", "past U+10FFFF"},
  {"in/\xF4\x8F\xBF\xBF",      "\"in/\xF4\x8F\xBF\xBF\"",    false, "in/\xF4\x8F\xBF\xBF", "U+10FFFF itself"},
  {"in/\xFF",                  "\"in/\xEF\xBF\xBD\"",        true,  "in/\xFF",             "a byte that never starts a character"},
  // The bounds of each lead byte's range, and of its second byte's.
  {"in/\xC2\x80",              "\"in/\xC2\x80\"",            false, "in/\xC2\x80",         "the smallest two-byte character"},
  {"in/\xDF\xBF",              "\"in/\xDF\xBF\"",            false, "in/\xDF\xBF",         "the largest two-byte character"},
  {"in/\xC1\xBF",              "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\"",                   true,  "in/\xC1\xBF",         "an overlong two-byte form"},
  {"in/\xE0\xA0\x80",          "\"in/\xE0\xA0\x80\"",        false, "in/\xE0\xA0\x80",     "the smallest three-byte character"},
  {"in/\xED\x9F\xBF",          "\"in/\xED\x9F\xBF\"",        false, "in/\xED\x9F\xBF",     "the last before the surrogates"},
  {"in/\xEF\xBF\xBF",          "\"in/\xEF\xBF\xBF\"",        false, "in/\xEF\xBF\xBF",     "the largest three-byte character"},
  {"in/\xF0\x90\x80\x80",      "\"in/\xF0\x90\x80\x80\"",    false, "in/\xF0\x90\x80\x80", "the smallest four-byte character"},
  {"in/\xF0\x8F\xBF\xBF",      "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"",               true,  "in/\xF0\x8F\xBF\xBF", "an overlong four-byte form"},
  {"in/\xF1\x80\x80\x80",      "\"in/\xF1\x80\x80\x80\"",    false, "in/\xF1\x80\x80\x80", "a four-byte lead past 0xF0 takes any continuation"},
  {"in/\xF5\x80\x80\x80",      "\"in/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"",               true,  "in/\xF5\x80\x80\x80", "a lead past 0xF4"},
  {"in/ !~",                   "\"in/ !~\"",                   false, "in/ !~",              "the printable bounds, as they are"},
};
// clang-format on

TEST(InspectPrinter, Paths) {
  std::string line;
  const auto json = json_sink(line);
  const auto text = text_sink(line);
  for (const auto& c : PATH_CASES) {
    SCOPED_TRACE(c.why);
    FileReport report;
    report.path = c.path;
    report.verdict = Verdict::skipped;
    report.kind = EntryKind::fifo;
    line.clear();
    json->file(report);
    const std::string prefix = "{\"type\":\"file\",\"path\":";
    ASSERT_TRUE(line.starts_with(prefix)) << line;
    EXPECT_EQ(line.substr(prefix.size(), c.json.size()), c.json);
    const auto record = nlohmann::json::parse(line);
    EXPECT_EQ(record.contains("path_hex"), c.hex);
    if (record.contains("path_hex")) {
      std::string bytes;
      const std::string hex = record.at("path_hex");
      for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      EXPECT_EQ(bytes, c.path);
    } else {
      EXPECT_EQ(record.at("path"), c.path);
    }
    line.clear();
    text->file(report);
    EXPECT_EQ(line, c.text + ": skipped: fifo\n");
  }
}

}  // namespace

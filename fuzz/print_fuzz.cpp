// Arbitrary bytes as a path, printed by both printers as a file's line and
// as a pair's: each JSON line parses, and its path (or, where JSON text
// cannot carry the bytes, its path_hex) gives back the exact bytes; the
// text lines hold no control byte but the newline that ends each.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "print/sink.h"

namespace {

void require(bool property) {
  if (!property) std::abort();
}

std::string from_hex(const std::string& hex) {
  require(hex.size() % 2 == 0);
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// The path a record gives under `name`: empty for null.
std::string path_in(const nlohmann::json& record, const std::string& name) {
  require(record.contains(name));
  if (record[name].is_null()) {
    require(!record.contains(name + "_hex"));
    return {};
  }
  if (record.contains(name + "_hex")) return from_hex(record[name + "_hex"].get<std::string>());
  return record[name].get<std::string>();
}

std::size_t lines_of(const std::string& out) {
  std::size_t lines = 0;
  for (const char c : out) {
    const auto byte = static_cast<unsigned char>(c);
    require(byte == '\n' || (byte >= 0x20 && byte != 0x7F));
    lines += byte == '\n' ? 1 : 0;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string path(reinterpret_cast<const char*>(data + 1), size - 1);
  FileReport report;
  report.path = path;
  report.name = check_name(path);
  switch (data[0] % 4) {
    case 0:
      report.verdict = Verdict::bad_name;
      break;
    case 1:
      report.verdict = Verdict::cannot_open;
      report.error = {"No such file or directory", 2};
      report.exists = (data[0] & 4) != 0;
      break;
    case 2:
      report.verdict = Verdict::skipped;
      report.kind = EntryKind::fifo;
      break;
    default:
      report.verdict = Verdict::vanished;
  }
  // A pair: the path as the command, its second half as the response.
  PairRecord pair;
  pair.state = (data[0] & 8) != 0 ? PairState::orphan : PairState::pending;
  if (pair.state != PairState::orphan) pair.command = path;
  pair.response = path.substr(path.size() / 2);

  std::string json;
  const std::unique_ptr<Sink> json_printer = json_sink(json);
  json_printer->file(report);
  json_printer->pair(pair);
  const std::size_t end = json.find('\n');
  require(end != std::string::npos && json.back() == '\n');
  const auto file = nlohmann::json::parse(json.substr(0, end));
  const auto record = nlohmann::json::parse(json.substr(end + 1));
  require(path_in(file, "path") == path);
  require(path_in(record, "command") == pair.command);
  require(path_in(record, "response") == pair.response);

  std::string text;
  const std::unique_ptr<Sink> text_printer = text_sink(text);
  text_printer->file(report);
  text_printer->pair(pair);
  require(lines_of(text) == 2);
  return 0;
}

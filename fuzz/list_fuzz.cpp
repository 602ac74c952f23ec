// A list of paths, as --files-from reads it: the first byte picks the
// separator (a newline, or a NUL for -0) and the size of the reader's
// buffer, so that lines fall across its ends. Every path read is one of the
// list's non-empty entries, in order, none lost or merged; a list of lines
// that holds a NUL is refused.
#include <stdio.h>  // fmemopen

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/operands.h"

namespace {

void require(bool property) {
  if (!property) std::abort();
}

std::vector<std::string> entries(std::string_view list, char separator) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < list.size();) {
    std::size_t end = list.find(separator, at);
    if (end == std::string_view::npos) end = list.size();
    if (end > at) out.emplace_back(list.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char separator = (data[0] & 1) != 0 ? '\0' : '\n';
  const std::size_t buffer_size = std::size_t{1} + (data[0] >> 1);  // 1 to 128
  std::string list(reinterpret_cast<const char*>(data + 1), size - 1);
  std::FILE* file = fmemopen(list.data(), list.size(), "r");
  require(file != nullptr);

  const std::vector<std::string> expected = entries(list, separator);
  const bool refused = separator == '\n' && list.find('\0') != std::string::npos;
  Operands operands({"named"}, file, separator, buffer_size);
  std::vector<std::string> read;
  std::string operand;
  bool threw = false;
  try {
    while (operands.next(operand)) read.push_back(operand);
  } catch (const std::runtime_error&) {
    threw = true;
  }
  std::fclose(file);
  require(threw == refused && !operands.failed());
  // The operand named on the command line first, then the list's.
  require(!read.empty() && read.front() == "named");
  read.erase(read.begin());
  require(read.size() <= expected.size());
  if (!refused) require(read.size() == expected.size());
  for (std::size_t i = 0; i < read.size(); ++i) require(read[i] == expected[i]);
  return 0;
}

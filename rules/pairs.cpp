// Where a command's response lies, and what a response says: the facts
// that pair a command with its response.
#include "vardek_rules.h"

PairName pair_name(std::string_view path, const NameCheck& passed) {
  // The naming rule has seen to it that the folder, before its separator,
  // ends in the kind's ending. No substr: it could throw, and the rules
  // carry no exception runtime.
  const std::size_t folder = passed.base - 1 - folder_end(passed.kind).size();
  const std::size_t extension = passed.base + passed.stem;
  const std::string_view ending(path.data() + extension, path.size() - extension);
  return {std::string_view(path.data(), folder),
          std::string_view(path.data() + passed.base, passed.stem),
          passed.kind == NameKind::response && ending == RESPONSE_EXTENSIONS[1]
              ? ResponseOutcome::fail
              : ResponseOutcome::ok};
}

std::string_view outcome_name(ResponseOutcome outcome) {
  return outcome == ResponseOutcome::fail ? "fail" : "ok";
}

// Pair records as lines: the command first, its state, and the response
// that decided it.
#include <string>

#include "escape.h"
#include "finding.h"
#include "pair_printer.h"

namespace {

void append_number(std::string& out, std::uint64_t n) { out += std::to_string(n); }

void append_count(std::string& out, std::uint64_t n, const char* one,
                  const char* many) {
  append_number(out, n);
  out += n == 1 ? one : many;
}

class TextPairPrinter final : public PairPrinter {
 public:
  void pair(const PairRecord& r, std::string& out) override {
    append_text_path(out, r.state == PairState::orphan ? r.response : r.command);
    switch (r.state) {
      case PairState::answered:
        out += ": answered (";
        out += r.outcome;
        out += ") by ";
        append_text_path(out, r.response);
        break;
      case PairState::stale:
        out += ": stale: ";
        append_text_path(out, r.response);
        out += " is older, from an earlier command";
        break;
      case PairState::same:
        out += ": same key as ";
        append_text_path(out, r.response);
        break;
      case PairState::pending:
        out += ": pending";
        if (r.age) {
          out += " for ";
          out += age_text(*r.age);
        }
        break;
      case PairState::conflict:
        out += ": conflict: both ";
        append_text_path(out, r.response);
        out += " and ";
        append_text_path(out, r.other_response);
        break;
      case PairState::bad_response:
        out += ": bad response: ";
        append_text_path(out, r.response);
        break;
      case PairState::bad_command:
        out += ": bad command, with response ";
        append_text_path(out, r.response);
        break;
      case PairState::orphan:
        out += ": orphan: no command";
        break;
    }
    out += '\n';
  }

  void summary(const PairSummary& s, std::string& out) override {
    append_count(out, s.commands, " command: ", " commands: ");
    append_number(out, s.of(PairState::answered));
    out += " answered, ";
    append_number(out, s.of(PairState::stale));
    out += " stale, ";
    append_number(out, s.of(PairState::same));
    out += " same, ";
    append_number(out, s.of(PairState::pending));
    out += " pending, ";
    append_number(out, s.of(PairState::conflict));
    out += " in conflict, ";
    append_count(out, s.of(PairState::bad_response), " bad response, ",
                 " bad responses, ");
    append_count(out, s.of(PairState::bad_command), " bad command; ",
                 " bad commands; ");
    append_count(out, s.of(PairState::orphan), " orphan response\n",
                 " orphan responses\n");
    out += "pending by age:";
    for (std::size_t i = 0; i < AGE_NAMES.size(); ++i) {
      out += i == 0 ? " " : ", ";
      append_number(out, s.pending_by_age[i]);
      out += ' ';
      for (const char c : AGE_NAMES[i]) out += c == '_' ? ' ' : c;
    }
    out += '\n';
  }
};

void field(std::string& out, std::string_view name) {
  out += ",\"";
  out += name;
  out += "\":";
}

// A path, or null; with its bytes in hex beside it where JSON text cannot
// carry them.
void path_field(std::string& out, std::string_view name, const std::string& path) {
  field(out, name);
  if (path.empty()) {
    out += "null";
    return;
  }
  if (!append_json_string(out, path)) {
    field(out, std::string(name) + "_hex");
    out += '"';
    append_hex(out, path);
    out += '"';
  }
}

void key_field(std::string& out, std::string_view name,
               const std::optional<TimestampKey>& key) {
  field(out, name);
  if (!key) {
    out += "null";
    return;
  }
  out += '"';
  append_hex(out, ByteView(*key));
  out += '"';
}

class JsonPairPrinter final : public PairPrinter {
 public:
  void pair(const PairRecord& r, std::string& out) override {
    out += "{\"type\":\"pair\"";
    path_field(out, "command", r.command);
    path_field(out, "response", r.response);
    field(out, "state");
    append_json_string(out, state_name(r.state));
    field(out, "outcome");
    if (r.outcome.empty())
      out += "null";
    else
      append_json_string(out, r.outcome);
    key_field(out, "command_key", r.command_key);
    key_field(out, "response_key", r.response_key);
    field(out, "age_s");
    out += r.age ? std::to_string(*r.age) : "null";
    out += "}\n";
  }

  void summary(const PairSummary& s, std::string& out) override {
    out += "{\"type\":\"pairs\"";
    field(out, "commands");
    append_number(out, s.commands);
    for (std::size_t state = 0; state < s.states.size(); ++state) {
      field(out, state_name(static_cast<PairState>(state)));
      append_number(out, s.states[state]);
    }
    field(out, "pending_by_age");
    for (std::size_t i = 0; i < AGE_NAMES.size(); ++i) {
      out += i == 0 ? "{\"" : ",\"";
      out += AGE_NAMES[i];
      out += "\":";
      append_number(out, s.pending_by_age[i]);
    }
    out += "}}\n";
  }
};

}  // namespace

std::string age_text(std::uint64_t seconds) {
  struct Unit {
    std::uint64_t size;
    char name;
  };
  static constexpr Unit UNITS[] = {{86400, 'd'}, {3600, 'h'}, {60, 'm'}, {1, 's'}};
  std::string text;
  for (std::size_t i = 0; i < std::size(UNITS); ++i) {
    if (seconds < UNITS[i].size && i + 1 < std::size(UNITS)) continue;
    text = std::to_string(seconds / UNITS[i].size) + UNITS[i].name;
    if (i + 1 < std::size(UNITS)) {
      const Unit& next = UNITS[i + 1];
      text += ' ' + std::to_string(seconds % UNITS[i].size / next.size) + next.name;
    }
    break;
  }
  return text;
}

std::unique_ptr<PairPrinter> text_pair_printer() {
  return std::make_unique<TextPairPrinter>();
}

std::unique_ptr<PairPrinter> json_pair_printer() {
  return std::make_unique<JsonPairPrinter>();
}

// JSON Lines for scripts: one object a file, then a summary object. The
// names of the fields are fixed; scripts depend on them.
#include <string>

#include "escape.h"
#include "finding.h"
#include "printer.h"

namespace {

// The length of the UTF-8 sequence at `text[at]`, or 0 when it is not a
// well-formed one (overlong forms, surrogates and values past U+10FFFF
// included).
std::size_t utf8_sequence(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[at + i]);
  };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t size = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + size > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < size; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return size;
}

// A JSON string. A byte that is not part of well-formed UTF-8 becomes
// U+FFFD; the answer says whether any did.
bool append_string(std::string& out, std::string_view text) {
  static constexpr char DIGITS[] = "0123456789abcdef";
  bool exact = true;
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      out += "\\u00";
      out += DIGITS[c >> 4];
      out += DIGITS[c & 0xF];
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t size = utf8_sequence(text, i)) {
      out.append(text.substr(i, size));
      i += size;
    } else {
      out += "\xEF\xBF\xBD";
      exact = false;
      ++i;
    }
  }
  out += '"';
  return exact;
}

void append_hex_string(std::string& out, std::string_view bytes) {
  out += '"';
  append_hex(out, bytes);
  out += '"';
}

void append_hex_string(std::string& out, ByteView bytes) {
  out += '"';
  append_hex(out, bytes);
  out += '"';
}

void field(std::string& out, std::string_view name) {
  out += ",\"";
  out += name;
  out += "\":";
}

void number_field(std::string& out, std::string_view name, std::uint64_t n) {
  field(out, name);
  out += std::to_string(n);
}

void string_field(std::string& out, std::string_view name,
                  std::string_view value) {
  field(out, name);
  append_string(out, value);
}

void name_fields(const FileReport& report, std::string& out) {
  string_field(out, "rule", rule_name(report.name.failed));
  switch (report.name.failed) {
    case NameRule::none:
      break;
    case NameRule::directory:
      string_field(out, "directory", last_directory(report));
      break;
    case NameRule::stem: {
      const StemStop stop = stem_stop(report);
      string_field(out, "stem", stop.stem);
      number_field(out, "stem_length", stop.stem.size());
      field(out, "stop_offset");
      if (stop.by_byte)
        out += std::to_string(stop.at);
      else
        out += "null";
      field(out, "stop_byte");
      if (stop.by_byte)
        append_hex_string(out, std::string_view(
                                   reinterpret_cast<const char*>(&stop.byte), 1));
      else
        out += "null";
      break;
    }
    case NameRule::extension: {
      string_field(out, "extension", extension_of(report));
      field(out, "allowed");
      out += '[';
      const auto allowed = allowed_extensions(report.name.directory_kind);
      for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (i > 0) out += ',';
        append_string(out, allowed[i]);
      }
      out += ']';
      break;
    }
  }
}

void content_fields(const FileReport& report, std::string& out) {
  const ContentCheck& check = report.content;
  const Finding finding = finding_of(report);
  string_field(out, "test", test_name(check.failed));
  number_field(out, "offset", finding.offset);
  field(out, "found");
  append_hex_string(out, finding.found);
  field(out, "expected");
  if (check.failed == ContentTest::length) {
    out += std::to_string(MIN_FILE_SIZE);  // the least length, not bytes
  } else if (check.failed == ContentTest::identification ||
             check.failed == ContentTest::timestamp_head) {
    out += '[';
    for (std::size_t i = 0; i < finding.expected.size(); ++i) {
      if (i > 0) out += ',';
      append_hex_string(out, finding.expected[i]);
    }
    out += ']';
  } else {
    append_hex_string(out, finding.expected.front());
  }
  if (check.failed == ContentTest::timestamp_head) {
    number_field(out, "other_offset", finding.other_offset);
    field(out, "other_found");
    append_hex_string(out, finding.other_found);
  }
}

class JsonPrinter final : public Printer {
 public:
  void file(const FileReport& report, std::string& out) override {
    out += "{\"type\":\"file\",\"path\":";
    if (!append_string(out, report.path)) {
      // The path as it is, byte for byte, where JSON text cannot carry it.
      field(out, "path_hex");
      append_hex_string(out, report.path);
    }
    string_field(out, "verdict", verdict_name(report.verdict));
    switch (report.verdict) {
      case Verdict::valid: {
        const ContentCheck& check = report.content;
        string_field(out, "form", check.long_id ? "long" : "short");
        number_field(out, "head", check.head);
        field(out, "key");
        append_hex_string(out, timestamp_key(report.read.checked().start, check));
        break;
      }
      case Verdict::bad_name:
        name_fields(report, out);
        if (!report.exists) {
          field(out, "exists");
          out += "false";
        }
        break;
      case Verdict::cannot_open:
        string_field(out, "error", report.error.text);
        string_field(out, "errno", errno_name(report.error.number));
        if (report.kind == EntryKind::directory)
          string_field(out, "kind", "directory");
        break;
      case Verdict::not_valid:
        content_fields(report, out);
        break;
      case Verdict::skipped:
        string_field(out, "kind", kind_name(report.kind));
        break;
      case Verdict::vanished:
      case Verdict::excluded:
        break;
    }
    if (report.verdict == Verdict::valid ||
        report.verdict == Verdict::not_valid) {
      number_field(out, "length", report.read.length);
      if (longer_than_judged(report.read))
        number_field(out, "size", report.read.size);
    }
    out += "}\n";
  }

  void summary(const Summary& s, std::string& out) override {
    out += "{\"type\":\"summary\",\"schema\":1";
    number_field(out, "files", s.files);
    number_field(out, "valid", s.valid);
    number_field(out, "not-valid", s.not_valid);
    number_field(out, "bad-name", s.bad_name);
    number_field(out, "cannot-open", s.cannot_open);
    number_field(out, "skipped", s.skipped);
    number_field(out, "vanished", s.vanished);
    number_field(out, "excluded", s.excluded);
    if (s.stats) {
      field(out, "tests");
      for (std::size_t i = 1; i < s.by_test.size(); ++i) {
        out += i == 1 ? "{" : ",";
        append_string(out, test_name(static_cast<ContentTest>(i)));
        out += ':';
        out += std::to_string(s.by_test[i]);
      }
      out += '}';
      field(out, "rules");
      for (std::size_t i = 1; i < s.by_rule.size(); ++i) {
        out += i == 1 ? "{" : ",";
        append_string(out, rule_name(static_cast<NameRule>(i)));
        out += ':';
        out += std::to_string(s.by_rule[i]);
      }
      out += '}';
    }
    out += "}\n";
  }
};

}  // namespace

bool append_json_string(std::string& out, std::string_view text) {
  return append_string(out, text);
}

std::unique_ptr<Printer> json_printer() {
  return std::make_unique<JsonPrinter>();
}

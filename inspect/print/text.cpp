// Lines for people: a file's path, its verdict and what decided it; a
// command's state and the response that decided it; and the summaries.
#include <cstdio>
#include <string>

#include "model/finding.h"
#include "print/escape.h"
#include "print/sink.h"

namespace {

void append_number(std::string& out, std::uint64_t n) { out += std::to_string(n); }

// 27 (0x1b)
void append_offset(std::string& out, std::size_t offset) {
  append_number(out, offset);
  out += " (0x";
  char digits[2 * sizeof offset + 1];
  const int size = std::snprintf(digits, sizeof digits, "%zx", offset);
  out.append(digits, static_cast<std::size_t>(size));
  out += ')';
}

void append_byte(std::string& out, unsigned char byte) {
  out += "0x";
  append_hex(out, std::string_view(reinterpret_cast<const char*>(&byte), 1));
  if (byte > 0x20 && byte < 0x7F) {
    out += " '";
    out += static_cast<char>(byte);
    out += '\'';
  }
}

void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  append_text_path(out, text);
  out += '"';
}

// Says so when the file holds more than the bytes judged.
void append_judged_part(const FileSample& read, std::string& out) {
  if (!longer_than_judged(read)) return;
  out += "; only the first ";
  append_number(out, read.length);
  out += " of ";
  append_number(out, read.size);
  out += " bytes were judged";
}

void explain_name(const FileReport& report, std::string& out) {
  switch (report.name.failed) {
    case NameRule::none:
      break;
    case NameRule::directory: {
      const std::string_view dir = last_directory(report);
      if (dir.empty()) {
        out += "no directory: the file must be in one whose name ends in "
               "\"in\" or \"out\"";
      } else {
        out += "directory ";
        append_quoted(out, dir);
        out += " ends in neither \"in\" nor \"out\"";
      }
      break;
    }
    case NameRule::stem: {
      const StemStop stop = stem_stop(report);
      out += "serial stem ";
      append_quoted(out, stop.stem);
      out += " has ";
      append_number(out, stop.stem.size());
      out += stop.stem.size() == 1 ? " character" : " characters";
      out += ", not 6 or 9: ";
      if (stop.at_limit) {
        out += "the walk stops after 10";
      } else if (stop.by_byte) {
        out += "stopped by ";
        append_byte(out, stop.byte);
        out += " at position ";
        append_number(out, stop.stem.size());
        out += " of the name (byte ";
        append_number(out, stop.at);
        out += " of the path)";
      } else {
        out += "the name ends there";
      }
      break;
    }
    case NameRule::extension: {
      const std::string_view extension = extension_of(report);
      if (extension.empty()) {
        out += "nothing follows the stem";
      } else {
        append_quoted(out, extension);
        out += " follows the stem";
      }
      out += report.name.directory_kind == NameKind::response
                 ? "; a response file (in/) takes "
                 : "; a command file (out/) takes ";
      const auto allowed = allowed_extensions(report.name.directory_kind);
      for (std::size_t i = 0; i < allowed.size(); ++i) {
        if (i > 0) out += " or ";
        append_quoted(out, allowed[i]);
      }
      break;
    }
  }
}

void explain_content(const FileReport& report, std::string& out) {
  const ContentCheck& check = report.content;
  const Finding finding = finding_of(report);
  // The test's own name, in words: "timestamp head" for timestamp-head.
  for (const char c : test_name(check.failed)) out += c == '-' ? ' ' : c;
  if (check.failed == ContentTest::length) {
    out += ": ";
    append_number(out, report.read.length);
    out += report.read.length == 1 ? " byte read" : " bytes read";
    out += ", at least ";
    append_number(out, MIN_FILE_SIZE);
    out += " needed";
  } else {
    out += " at offset ";
    append_offset(out, finding.offset);
    out += ": found ";
    append_hex(out, finding.found, ' ');
    if (check.failed == ContentTest::timestamp_head) {
      out += ", and at ";
      append_offset(out, finding.other_offset);
      out += ": found ";
      append_hex(out, finding.other_found, ' ');
    }
    out += "; expected ";
    for (std::size_t i = 0; i < finding.expected.size(); ++i) {
      if (i > 0) out += " or ";
      append_hex(out, finding.expected[i], ' ');
    }
  }
  append_judged_part(report.read, out);
}

void append_count(std::string& out, std::uint64_t n, const char* one,
                  const char* many) {
  append_number(out, n);
  out += n == 1 ? one : many;
}

// The pairs' summary and the pending commands by age.
void pair_summary(const PairSummary& s, std::string& out) {
  append_count(out, s.commands, " command: ", " commands: ");
  append_number(out, s.of(PairState::answered));
  out += " answered (";
  append_number(out, s.answered_ok);
  out += " ok, ";
  append_number(out, s.answered_fail);
  out += " fail), ";
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
  append_count(out, s.of(PairState::bad_command), " bad command, ",
               " bad commands, ");
  append_number(out, s.of(PairState::young));
  out += " young, ";
  append_number(out, s.of(PairState::unknown));
  out += " unknown; ";
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

void files_summary(const Summary& s, std::string& out) {
  append_number(out, s.files);
  out += s.files == 1 ? " file judged: " : " files judged: ";
  append_number(out, s.valid);
  out += " valid, ";
  append_number(out, s.not_valid);
  out += " not valid, ";
  append_number(out, s.bad_name);
  out += s.bad_name == 1 ? " bad name, " : " bad names, ";
  append_number(out, s.cannot_open);
  out += " not opened; ";
  append_number(out, s.skipped);
  out += " skipped";
  if (s.vanished > 0) {
    out += ", ";
    append_number(out, s.vanished);
    out += " vanished";
  }
  if (s.excluded > 0) {
    out += ", ";
    append_number(out, s.excluded);
    out += " excluded";
  }
  if (s.missing > 0) {
    out += ", ";
    append_number(out, s.missing);
    out += " missing";
  }
  out += '\n';
  if (!s.stats) return;
  out += "not valid, by content test:";
  for (std::size_t i = 1; i < s.by_test.size(); ++i) {
    out += i == 1 ? " " : ", ";
    out += test_name(static_cast<ContentTest>(i));
    out += ' ';
    append_number(out, s.by_test[i]);
  }
  out += "\nbad names, by naming rule:";
  for (std::size_t i = 1; i < s.by_rule.size(); ++i) {
    out += i == 1 ? " " : ", ";
    out += rule_name(static_cast<NameRule>(i));
    out += ' ';
    append_number(out, s.by_rule[i]);
  }
  out += '\n';
}

// With --stats: what read the files, and why not the ring where it was
// wanted.
void reader_line(const RunStats& stats, std::string& out) {
  out += "read by: ";
  out += stats.reader;
  if (!stats.ring_failure.empty()) {
    out += " (io_uring: ";
    out += stats.ring_failure;
    out += ')';
  }
  out += '\n';
}

class TextSink final : public Sink {
 public:
  explicit TextSink(std::string& out) : out_(out) {}

  void file(const FileReport& report) override {
    std::string& out = out_;
    append_text_path(out, report.path);
    out += ": ";
    switch (report.verdict) {
      case Verdict::valid: {
        const ContentCheck& check = report.content;
        out += check.long_id ? "valid: long form (15-byte identification)"
                             : "valid: short form (12-byte identification)";
        out += ", timestamp head at ";
        append_number(out, check.head);
        out += ", key ";
        append_hex(out, timestamp_key(report.read.checked().start, check));
        append_judged_part(report.read, out);
        break;
      }
      case Verdict::bad_name:
        out += "bad name: ";
        explain_name(report, out);
        break;
      case Verdict::cannot_open:
        out += report.kind == EntryKind::directory ? "cannot list: "
                                                   : "cannot open: ";
        out += report.error.text;
        break;
      case Verdict::not_valid:
        out += "not valid: ";
        explain_content(report, out);
        break;
      case Verdict::skipped:
        out += "skipped: ";
        out += kind_name(report.kind);
        break;
      case Verdict::vanished:
        out += "vanished: gone when it was opened";
        break;
      case Verdict::excluded:
        out += "excluded";
        break;
    }
    out += '\n';
  }

  void pair(const PairRecord& r) override {
    std::string& out = out_;
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
      case PairState::young:
        out += ": young: ";
        if (!r.response.empty()) {
          append_text_path(out, r.response);
          out += ' ';
        }
        out += "changed within --min-age";
        break;
      case PairState::unknown:
        out += ": unknown: cannot look for its response: ";
        out += r.error.text;
        break;
      case PairState::orphan:
        out += ": orphan: no command";
        break;
    }
    out += '\n';
  }

  void summary(const RunSummary& summary) override {
    if (summary.pairs != nullptr) pair_summary(*summary.pairs, out_);
    files_summary(summary.files, out_);
    if (summary.files.stats) reader_line(summary.stats, out_);
  }

  void watch(const WatchRecord& r) override {
    std::string& out = out_;
    out += "watch: ";
    switch (r.notice) {
      case WatchNotice::started:
        out += "watching ";
        append_number(out, r.folders - r.polled);
        out += r.folders - r.polled == 1 ? " folder" : " folders";
        if (r.polled > 0) {
          out += ", polling ";
          append_number(out, r.polled);
          out += " every " + seconds_text(static_cast<std::int64_t>(r.every_ms)) + "s";
        }
        break;
      case WatchNotice::root_gone:
        append_text_path(out, r.path);
        out += ": gone, looked for again every second";
        break;
      case WatchNotice::root_back:
        append_text_path(out, r.path);
        out += ": back, watched and listed";
        break;
      case WatchNotice::relisted:
        out += "listed again (" + r.reason + "): ";
        append_number(out, r.folders);
        out += r.folders == 1 ? " folder, " : " folders, ";
        append_number(out, r.changed);
        out += r.changed == 1 ? " file new or changed" : " files new or changed";
        break;
      case WatchNotice::unwatched:
        append_text_path(out, r.path);
        out += ": cannot be watched: " + r.reason;
        break;
      case WatchNotice::polled:
        append_text_path(out, r.path);
        out += ": polled every " + seconds_text(static_cast<std::int64_t>(r.every_ms)) + "s: " + r.reason;
        break;
    }
    out += '\n';
  }

 private:
  std::string& out_;
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

std::unique_ptr<Sink> text_sink(std::string& out) {
  return std::make_unique<TextSink>(out);
}

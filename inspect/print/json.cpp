// JSON Lines for scripts: one object a file and one a pair, then the
// summary objects. The names of the fields are fixed; scripts depend on
// them.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "model/finding.h"
#include "print/escape.h"
#include "print/sink.h"

namespace {

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
  append_json_string(out, value);
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

// The pairs' summary and the pending commands by age.
void pair_summary(const PairSummary& s, std::string& out) {
  out += "{\"type\":\"pairs\"";
  number_field(out, "commands", s.commands);
  for (std::size_t state = 0; state < s.states.size(); ++state)
    number_field(out, state_name(static_cast<PairState>(state)), s.states[state]);
  number_field(out, "answered-ok", s.answered_ok);
  number_field(out, "answered-fail", s.answered_fail);
  field(out, "pending_by_age");
  for (std::size_t i = 0; i < AGE_NAMES.size(); ++i) {
    out += i == 0 ? "{\"" : ",\"";
    out += AGE_NAMES[i];
    out += "\":";
    out += std::to_string(s.pending_by_age[i]);
  }
  out += '}';
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
        append_json_string(out, allowed[i]);
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

void files_summary(const Summary& s, std::string& out) {
  out += "{\"type\":\"summary\",\"schema\":1";
  number_field(out, "files", s.files);
  number_field(out, "valid", s.valid);
  number_field(out, "not-valid", s.not_valid);
  number_field(out, "bad-name", s.bad_name);
  number_field(out, "cannot-open", s.cannot_open);
  number_field(out, "skipped", s.skipped);
  number_field(out, "vanished", s.vanished);
  number_field(out, "excluded", s.excluded);
  number_field(out, "missing", s.missing);
  if (s.stats) {
    field(out, "tests");
    for (std::size_t i = 1; i < s.by_test.size(); ++i) {
      out += i == 1 ? "{" : ",";
      append_json_string(out, test_name(static_cast<ContentTest>(i)));
      out += ':';
      out += std::to_string(s.by_test[i]);
    }
    out += '}';
    field(out, "rules");
    for (std::size_t i = 1; i < s.by_rule.size(); ++i) {
      out += i == 1 ? "{" : ",";
      append_json_string(out, rule_name(static_cast<NameRule>(i)));
      out += ':';
      out += std::to_string(s.by_rule[i]);
    }
    out += '}';
  }
}

// How the run went: when, how long, where, which version, and its status.
void run_fields(const RunRecord& run, std::string& out) {
  string_field(out, "time", utc_time_text(run.start_ms));
  field(out, "duration_s");
  out += seconds_text(static_cast<std::int64_t>(run.duration_ms));
  string_field(out, "host", run.host);
  string_field(out, "version", run.version);
  number_field(out, "status", static_cast<std::uint64_t>(run.status));
  if (run.min_files_given) {
    number_field(out, "min_files", run.min_files);
    field(out, "too_few_files");
    out += run.too_few_files ? "true" : "false";
  }
}

class JsonSink final : public Sink {
 public:
  JsonSink(std::string& out, const Labels& labels, std::function<std::int64_t()> now_ms)
      : out_(out), labels_(labels), now_ms_(std::move(now_ms)) {}

  void file(const FileReport& report) override {
    std::string& out = out_;
    out += "{\"type\":\"file\",\"path\":";
    if (!append_json_string(out, report.path)) {
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
        break;
      case Verdict::cannot_open:
        string_field(out, "error", report.error.text);
        string_field(out, "errno", errno_name(report.error.number));
        if (report.kind == EntryKind::directory)
          string_field(out, "kind", "directory");
        if (!report.exists) {
          field(out, "exists");
          out += "false";
        }
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
    time_field();
    end_record();
  }

  void pair(const PairRecord& r) override {
    std::string& out = out_;
    out += "{\"type\":\"pair\"";
    path_field(out, "command", r.command);
    path_field(out, "response", r.response);
    string_field(out, "state", state_name(r.state));
    field(out, "outcome");
    if (r.outcome.empty())
      out += "null";
    else
      append_json_string(out, r.outcome);
    key_field(out, "command_key", r.command_key);
    key_field(out, "response_key", r.response_key);
    field(out, "age_s");
    out += r.age ? std::to_string(*r.age) : "null";
    if (r.state == PairState::unknown) {
      string_field(out, "error", r.error.text);
      string_field(out, "errno", errno_name(r.error.number));
    }
    time_field();
    end_record();
  }

  void summary(const RunSummary& summary) override {
    if (summary.pairs != nullptr) {
      pair_summary(*summary.pairs, out_);
      end_record();
    }
    files_summary(summary.files, out_);
    if (summary.files.stats) {
      string_field(out_, "reader", summary.stats.reader);
      if (!summary.stats.ring_failure.empty())
        string_field(out_, "io_uring_error", summary.stats.ring_failure);
    }
    if (summary.run != nullptr) run_fields(*summary.run, out_);
    end_record();
  }

  void watch(const WatchRecord& r) override {
    static constexpr const char* NAMES[] = {"started", "root-gone", "root-back", "relisted", "unwatched", "polled"};
    out_ += "{\"type\":\"watch\"";
    string_field(out_, "event", NAMES[static_cast<int>(r.notice)]);
    switch (r.notice) {
      case WatchNotice::started:
        number_field(out_, "folders", r.folders);
        if (r.polled > 0) {
          number_field(out_, "polled", r.polled);
          field(out_, "every_s");
          out_ += seconds_text(static_cast<std::int64_t>(r.every_ms));
        }
        break;
      case WatchNotice::root_gone:
      case WatchNotice::root_back:
        path_field(out_, "path", r.path);
        break;
      case WatchNotice::relisted:
        string_field(out_, "reason", r.reason);
        number_field(out_, "folders", r.folders);
        number_field(out_, "changed", r.changed);
        break;
      case WatchNotice::unwatched:
        path_field(out_, "path", r.path);
        string_field(out_, "error", r.reason);
        break;
      case WatchNotice::polled:
        path_field(out_, "path", r.path);
        string_field(out_, "reason", r.reason);
        field(out_, "every_s");
        out_ += seconds_text(static_cast<std::int64_t>(r.every_ms));
        break;
    }
    time_field();
    end_record();
  }

 private:
  void time_field() {
    if (now_ms_) string_field(out_, "time", utc_time_text(now_ms_()));
  }

  // The operator's fixed fields close every record.
  void end_record() {
    for (const auto& [key, value] : labels_) string_field(out_, key, value);
    out_ += "}\n";
  }

  std::string& out_;
  Labels labels_;
  std::function<std::int64_t()> now_ms_;
};

}  // namespace

std::unique_ptr<Sink> json_sink(std::string& out, const Labels& labels) {
  return std::make_unique<JsonSink>(out, labels, nullptr);
}

std::unique_ptr<Sink> json_sink(std::string& out, const Labels& labels, std::function<std::int64_t()> now_ms) {
  return std::make_unique<JsonSink>(out, labels, std::move(now_ms));
}

std::string utc_time_text(std::int64_t ms) {
  const std::int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  const auto days = std::chrono::sys_days(std::chrono::days(seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400));
  const std::int64_t of_day = seconds - days.time_since_epoch().count() * std::int64_t{86400};
  const std::chrono::year_month_day date(days);
  char text[40];
  const int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                              static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                              static_cast<unsigned>(date.day()), static_cast<long long>(of_day / 3600),
                              static_cast<long long>(of_day / 60 % 60), static_cast<long long>(of_day % 60),
                              static_cast<long long>(ms - seconds * 1000));
  return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string seconds_text(std::int64_t ms) {
  std::string text = ms < 0 ? "-" : "";
  const std::uint64_t magnitude =
      ms < 0 ? static_cast<std::uint64_t>(-(ms + 1)) + 1 : static_cast<std::uint64_t>(ms);
  text += std::to_string(magnitude / 1000);
  const std::string fraction = std::to_string(1000 + magnitude % 1000);
  text += '.';
  text += fraction.substr(1);
  return text;
}

#include "print/metrics.h"

#include <array>
#include <charconv>

#include "print/sink.h"

namespace {

constexpr std::string_view LAST_SUCCESS = "tarnwick_inspect_last_success_timestamp_seconds";

class Exposition {
 public:
  Exposition(std::string& out, const Labels& labels) : out_(out) {
    for (const auto& [key, value] : labels) {
      fixed_ += fixed_.empty() ? "" : ",";
      fixed_ += key;
      fixed_ += "=\"";
      for (const char c : value) {
        if (c == '\\' || c == '"') fixed_ += '\\';
        if (c == '\n')
          fixed_ += "\\n";
        else
          fixed_ += c;
      }
      fixed_ += '"';
    }
  }

  void metric(std::string_view name, std::string_view type, std::string_view help) {
    out_ += "# HELP ";
    out_ += name;
    out_ += ' ';
    out_ += help;
    out_ += "\n# TYPE ";
    out_ += name;
    out_ += ' ';
    out_ += type;
    out_ += '\n';
  }

  // One sample, with one label of its own (`key` empty: none).
  void sample(std::string_view name, std::string_view key, std::string_view value,
              std::string_view number) {
    out_ += name;
    if (!key.empty() || !fixed_.empty()) {
      out_ += '{';
      out_ += fixed_;
      if (!key.empty()) {
        out_ += fixed_.empty() ? "" : ",";
        out_ += key;
        out_ += "=\"";
        out_ += value;
        out_ += '"';
      }
      out_ += '}';
    }
    out_ += ' ';
    out_ += number;
    out_ += '\n';
  }
  void sample(std::string_view name, std::string_view key, std::string_view value,
              std::uint64_t number) {
    sample(name, key, value, std::to_string(number));
  }

 private:
  std::string& out_;
  std::string fixed_;
};

void file_metrics(const Summary& s, Exposition& e) {
  constexpr std::string_view files = "tarnwick_inspect_files";
  e.metric(files, "gauge", "Files the last run found, by verdict.");
  const std::array<std::pair<std::string_view, std::uint64_t>, 8> verdicts = {{
      {"valid", s.valid},
      {"not-valid", s.not_valid},
      {"bad-name", s.bad_name},
      {"cannot-open", s.cannot_open},
      {"skipped", s.skipped},
      {"vanished", s.vanished},
      {"excluded", s.excluded},
      {"missing", s.missing},
  }};
  for (const auto& [verdict, count] : verdicts) e.sample(files, "verdict", verdict, count);

  constexpr std::string_view tests = "tarnwick_inspect_content_failures";
  e.metric(tests, "gauge", "Files the last run found not valid, by the content test that failed.");
  for (std::size_t i = 1; i < s.by_test.size(); ++i)
    e.sample(tests, "test", test_name(static_cast<ContentTest>(i)), s.by_test[i]);
  constexpr std::string_view rules = "tarnwick_inspect_name_failures";
  e.metric(rules, "gauge", "Files the last run found badly named, by the naming rule that failed.");
  for (std::size_t i = 1; i < s.by_rule.size(); ++i)
    e.sample(rules, "rule", rule_name(static_cast<NameRule>(i)), s.by_rule[i]);
}

void pair_metrics(const PairSummary& s, Exposition& e) {
  constexpr std::string_view commands = "tarnwick_inspect_commands";
  e.metric(commands, "gauge", "Commands and responses the last run paired, by state.");
  for (std::size_t state = 0; state < s.states.size(); ++state)
    e.sample(commands, "state", state_name(static_cast<PairState>(state)), s.states[state]);

  constexpr std::string_view ages = "tarnwick_inspect_pending_age_seconds";
  e.metric(ages, "histogram", "Commands pending at the last run, by the seconds since they last changed.");
  for (std::size_t i = 0; i < AGE_BOUNDS.size(); ++i)
    e.sample("tarnwick_inspect_pending_age_seconds_bucket", "le", std::to_string(AGE_BOUNDS[i]),
             s.pending_at_most[i]);
  const std::uint64_t pending = s.of(PairState::pending);
  e.sample("tarnwick_inspect_pending_age_seconds_bucket", "le", "+Inf", pending);
  e.sample("tarnwick_inspect_pending_age_seconds_sum", {}, {}, s.pending_age_sum);
  e.sample("tarnwick_inspect_pending_age_seconds_count", {}, {}, pending);

  constexpr std::string_view oldest = "tarnwick_inspect_oldest_pending_age_seconds";
  e.metric(oldest, "gauge", "Seconds since the oldest pending command last changed; 0 when none is pending.");
  e.sample(oldest, {}, {}, s.oldest_pending.value_or(0));
}

void run_metrics(const MetricsRun& m, Exposition& e) {
  constexpr std::string_view start = "tarnwick_inspect_run_start_timestamp_seconds";
  e.metric(start, "gauge", "When the last run started, in seconds since 1970.");
  e.sample(start, {}, {}, seconds_text(m.run.start_ms));
  constexpr std::string_view duration = "tarnwick_inspect_run_duration_seconds";
  e.metric(duration, "gauge", "How long the last run took.");
  e.sample(duration, {}, {}, seconds_text(static_cast<std::int64_t>(m.run.duration_ms)));
  constexpr std::string_view status = "tarnwick_inspect_run_exit_status";
  e.metric(status, "gauge", "The exit status of the last run: 0 all clear, 3 not all read, 4 not valid, 5 pending too long.");
  e.sample(status, {}, {}, static_cast<std::uint64_t>(m.run.status));
  e.metric(LAST_SUCCESS, "gauge", "When the last run that ended with status 0 ended, in seconds since 1970; 0 when none has.");
  e.sample(LAST_SUCCESS, {}, {}, seconds_text(m.last_success_ms.value_or(0)));
  constexpr std::string_view info = "tarnwick_inspect_build_info";
  e.metric(info, "gauge", "The version of tarnwick-inspect that wrote the metrics, as a label; always 1.");
  e.sample(info, "version", m.run.version, 1);
}

// Milliseconds from "S" or "S.fff...", or none.
std::optional<std::int64_t> milliseconds_of(std::string_view text) {
  std::int64_t seconds = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (fault != std::errc() || seconds < 0 || seconds > INT64_MAX / 1000) return std::nullopt;
  std::int64_t ms = seconds * 1000;
  std::string_view rest(end, static_cast<std::size_t>(text.data() + text.size() - end));
  if (rest.empty()) return ms;
  if (rest.front() != '.') return std::nullopt;
  rest.remove_prefix(1);
  std::int64_t scale = 100;
  for (const char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    ms += scale * (c - '0');
    scale /= 10;
  }
  return ms;
}

}  // namespace

std::string metrics_text(const MetricsRun& run) {
  std::string out;
  Exposition e(out, run.labels);
  file_metrics(run.files, e);
  if (run.pairs != nullptr) pair_metrics(*run.pairs, e);
  run_metrics(run, e);
  return out;
}

std::optional<std::int64_t> last_success_in(std::string_view previous) {
  while (!previous.empty()) {
    const std::size_t end = previous.find('\n');
    std::string_view line = previous.substr(0, end);
    previous.remove_prefix(end == std::string_view::npos ? previous.size() : end + 1);
    if (!line.starts_with(LAST_SUCCESS)) continue;
    line.remove_prefix(LAST_SUCCESS.size());
    if (line.empty() || (line.front() != ' ' && line.front() != '{')) continue;
    const std::size_t space = line.rfind(' ');
    if (space == std::string_view::npos) return std::nullopt;
    return milliseconds_of(line.substr(space + 1));
  }
  return std::nullopt;
}

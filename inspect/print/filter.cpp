// What a run prints of what it finds: -q keeps what an operator has to act
// on, --summary the summaries alone.
#include <utility>

#include "print/sink.h"

namespace {

class FilteredSink final : public Sink {
 public:
  FilteredSink(std::unique_ptr<Sink> sink, const Filter& filter)
      : sink_(std::move(sink)), filter_(filter) {}
  void file(const FileReport& report) override {
    if (filter_.summary_only || report.verdict == Verdict::excluded) return;
    if (filter_.failures_only && !is_failure(report.verdict)) return;
    sink_->file(report);
  }
  void pair(const PairRecord& record) override {
    if (filter_.summary_only) return;
    if (filter_.failures_only && record.state == PairState::answered && record.outcome == "ok")
      return;
    sink_->pair(record);
  }
  void summary(const RunSummary& summary) override { sink_->summary(summary); }
  void watch(const WatchRecord& record) override { sink_->watch(record); }

 private:
  std::unique_ptr<Sink> sink_;
  Filter filter_;
};

}  // namespace

std::unique_ptr<Sink> filtered(std::unique_ptr<Sink> sink, const Filter& filter) {
  return std::make_unique<FilteredSink>(std::move(sink), filter);
}

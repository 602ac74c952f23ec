// Paths alone, for -l.
#include <utility>

#include "print/sink.h"

namespace {

class PathsSink final : public Sink {
 public:
  PathsSink(std::string& out, char end, Say say)
      : out_(out), end_(end), say_(std::move(say)), words_(text_sink(line_)) {}
  void file(const FileReport& report) override {
    if (report.regular) {
      out_ += report.path;
      out_ += end_;
      return;
    }
    line_.clear();
    words_->file(report);
    say_(line_);
  }
  void pair(const PairRecord&) override {}
  void summary(const RunSummary&) override {}

 private:
  std::string& out_;
  char end_;
  Say say_;
  std::string line_;
  std::unique_ptr<Sink> words_;
};

}  // namespace

std::unique_ptr<Sink> paths_sink(std::string& out, char end, Say say) {
  return std::make_unique<PathsSink>(out, end, std::move(say));
}

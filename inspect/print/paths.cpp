// Paths alone, for -l.
#include "print/sink.h"

namespace {

class PathsSink final : public Sink {
 public:
  PathsSink(std::string& out, char end) : out_(out), end_(end) {}
  void file(const FileReport& report) override {
    out_ += report.path;
    out_ += end_;
  }
  void pair(const PairRecord&) override {}
  void summary(const RunSummary&) override {}

 private:
  std::string& out_;
  char end_;
};

}  // namespace

std::unique_ptr<Sink> paths_sink(std::string& out, char end) {
  return std::make_unique<PathsSink>(out, end);
}

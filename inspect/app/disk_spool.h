// The spool as it is on disk, for the pairs: a partner that the walk did
// not give is looked up and judged here, as the tool would open it.
#ifndef TARNWICK_INSPECT_APP_DISK_SPOOL_H
#define TARNWICK_INSPECT_APP_DISK_SPOOL_H

#include <chrono>
#include <string>

#include "judge/judge.h"
#include "pairs/pair_table.h"

class DiskSpool final : public Spool {
 public:
  explicit DiskSpool(const JudgeOptions& options) : options_(options) {}
  Look look(const std::string& path) override;
  bool there(const std::string& path) override;
  bool still(const std::string& folder) override;
  void wait_until_still() override;

  // How long a folder must have been still: longer than a consumer takes
  // between a response and its command.
  static constexpr std::chrono::milliseconds STILL{1000};

 private:
  JudgeOptions options_;
  std::chrono::system_clock::time_point last_change_{};  // of a folder not still
};

#endif

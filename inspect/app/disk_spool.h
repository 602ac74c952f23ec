// The spool as it is on disk, for the pairs: a partner that the walk did
// not give is looked up and judged here, as the tool would open it.
#ifndef TARNWICK_INSPECT_APP_DISK_SPOOL_H
#define TARNWICK_INSPECT_APP_DISK_SPOOL_H

#include <string>

#include "judge/judge.h"
#include "pairs/pair_table.h"

class DiskSpool final : public Spool {
 public:
  explicit DiskSpool(const JudgeOptions& options) : options_(options) {}
  Look look(const std::string& path) override;
  bool there(const std::string& path) override;

 private:
  JudgeOptions options_;
};

#endif

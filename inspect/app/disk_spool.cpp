#include "app/disk_spool.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/directories.h"
#include "platform/errors.h"

namespace {

bool names_nothing(int error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace

Spool::Look DiskSpool::look(const std::string& path) {
  Look look;
  int error = 0;
  look_up(path, true, error);
  if (error != 0) {
    if (!names_nothing(error)) {
      look.is = Look::Is::unknown;
      look.error = system_error(error);
    }
    return look;
  }
  // As the tool opens it: a link to a file is that file.
  look.report = judge_or_report(path, nullptr, {}, options_);
  // Gone between the look and the open, as a consumer took it.
  if (look.report.verdict == Verdict::cannot_open && names_nothing(look.report.error.number))
    return {};
  look.is = Look::Is::there;
  return look;
}

bool DiskSpool::there(const std::string& path) {
  int error = 0;
  look_up(path, true, error);
  return !names_nothing(error);
}

bool DiskSpool::still(const std::string& folder) {
  const auto changed = last_change(folder);
  const auto now = std::chrono::system_clock::now();
  if (!changed || *changed + STILL <= now) return true;
  last_change_ = std::max(last_change_, *changed);
  return false;
}

void DiskSpool::wait_until_still() {
  // Never longer than STILL from now, whatever a clock stamped.
  const auto now = std::chrono::system_clock::now();
  const auto until = std::min(last_change_ + STILL, now + STILL);
  if (until > now) std::this_thread::sleep_for(until - now);
}

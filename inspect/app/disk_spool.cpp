#include "app/disk_spool.h"

#include <cerrno>

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

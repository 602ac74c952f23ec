#include "report.h"

#include <cerrno>
#include <cstring>

void keep_image(const unsigned char* image, std::size_t length,
                FileSample& sample) {
  const CheckedBytes whole = checked_bytes_of({image, length});
  std::memcpy(sample.start, whole.start.data(), whole.start.size());
  sample.start_size = whole.start.size();
  std::memcpy(sample.end, whole.end.data(), whole.end.size());
  sample.end_size = whole.end.size();
  sample.length = length;
}

void Summary::count(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid: ++valid; break;
    case Verdict::bad_name: ++bad_name; break;
    case Verdict::cannot_open: ++cannot_open; break;
    case Verdict::not_valid: ++not_valid; break;
    case Verdict::skipped: ++skipped; return;
    case Verdict::vanished: ++vanished; return;
    case Verdict::excluded: ++excluded; return;
  }
  ++files;
}

void Summary::count_reason(const FileReport& report) {
  if (report.verdict == Verdict::not_valid)
    ++by_test[static_cast<std::size_t>(report.content.failed)];
  else if (report.verdict == Verdict::bad_name)
    ++by_rule[static_cast<std::size_t>(report.name.failed)];
}

bool is_failure(Verdict verdict) {
  return verdict == Verdict::not_valid || verdict == Verdict::bad_name ||
         verdict == Verdict::cannot_open;
}

ResultCode exit_status(const Summary& summary) {
  if (summary.cannot_open > 0) return RC_OTHER_PROBLEM;
  if (summary.not_valid > 0 || summary.bad_name > 0) return RC_NOT_VALID;
  return RC_SAME;
}

std::string_view kind_name(EntryKind kind) {
  switch (kind) {
    case EntryKind::directory: return "directory";
    case EntryKind::regular: return "file";
    case EntryKind::symlink: return "symlink";
    case EntryKind::fifo: return "fifo";
    case EntryKind::socket: return "socket";
    case EntryKind::character_device: return "character-device";
    case EntryKind::block_device: return "block-device";
    case EntryKind::young: return "young";
    case EntryKind::other: break;
  }
  return "other";
}

std::string_view verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid: return "valid";
    case Verdict::bad_name: return "bad-name";
    case Verdict::cannot_open: return "cannot-open";
    case Verdict::not_valid: return "not-valid";
    case Verdict::vanished: return "vanished";
    case Verdict::excluded: return "excluded";
    case Verdict::skipped: break;
  }
  return "skipped";
}

std::string_view errno_name(int number) {
  switch (number) {
    case ENOENT: return "ENOENT";
    case ENOTDIR: return "ENOTDIR";
    case EACCES: return "EACCES";
    case EPERM: return "EPERM";
    case EISDIR: return "EISDIR";
    case ELOOP: return "ELOOP";
    case ENAMETOOLONG: return "ENAMETOOLONG";
    case EINVAL: return "EINVAL";
    case EIO: return "EIO";
    case ENXIO: return "ENXIO";
    case ENODEV: return "ENODEV";
    case EBUSY: return "EBUSY";
    case EAGAIN: return "EAGAIN";
    case ETIMEDOUT: return "ETIMEDOUT";
    case EOVERFLOW: return "EOVERFLOW";
    case EMFILE: return "EMFILE";
    case ENFILE: return "ENFILE";
    case ENOMEM: return "ENOMEM";
#ifdef ESTALE
    case ESTALE: return "ESTALE";
#endif
    default: break;
  }
  return "EOTHER";
}

#include "model/report.h"

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

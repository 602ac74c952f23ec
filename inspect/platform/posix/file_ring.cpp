// Batches of files through io_uring: each step (the opens, the reads, the
// closes) is submitted for the whole batch at once, so that one thread
// keeps hundreds of requests before the disk where a pool would keep one a
// thread. Built only where liburing is found.
#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <ctime>
#include <vector>

#include "platform/errors.h"
#include "platform/file_ring.h"
#include "platform/posix/directory.h"

namespace {

// ThreadSanitizer follows descriptors through the calls it intercepts: to
// it, one that the ring closed is still open, and the next owner of its
// number races with its last reader. Under it, files are closed by close().
#if defined(__SANITIZE_THREAD__)
constexpr bool RING_CLOSES = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool RING_CLOSES = false;
#else
constexpr bool RING_CLOSES = true;
#endif
#else
constexpr bool RING_CLOSES = true;
#endif

// The same flags as a walk's SystemFile: no wait for a FIFO's writer, no
// link followed.
constexpr int OPEN_FLAGS = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;

bool modified_within(const struct stat& info, std::chrono::milliseconds age) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  const auto since = std::chrono::seconds(now.tv_sec - info.st_mtim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - info.st_mtim.tv_nsec);
  return since < age;
}

class UringFiles final : public FileRing {
 public:
  explicit UringFiles(const io_uring& ring) : ring_(ring) {}
  ~UringFiles() override { io_uring_queue_exit(&ring_); }
  UringFiles(const UringFiles&) = delete;
  UringFiles& operator=(const UringFiles&) = delete;

  void open(std::span<RingFile> files, std::chrono::milliseconds min_age) override {
    std::vector<std::int64_t> results(files.size(), -ECANCELED);
    submit_all(files.size(), [&](std::size_t i, io_uring_sqe* sqe) {
      io_uring_prep_openat(sqe, files[i].parent->fd, files[i].name, OPEN_FLAGS, 0);
      return &results[i];
    });
    for (std::size_t i = 0; i < files.size(); ++i) {
      RingFile& file = files[i];
      if (results[i] < 0) {
        file.error = static_cast<int>(-results[i]);
        continue;
      }
      file.handle = results[i];
      struct stat info {};
      if (fstat(static_cast<int>(file.handle), &info) != 0) {
        file.error = errno;
        continue;
      }
      file.kind = kind_of_mode(info.st_mode);
      file.size = static_cast<std::uint64_t>(info.st_size);
      file.modified = static_cast<std::int64_t>(info.st_mtime);
      file.young = min_age.count() > 0 && modified_within(info, min_age);
    }
  }

  void read(std::span<RingFile> files) override {
    struct Asked {
      RingRead* read;
      int descriptor;
      bool then_next;  // the next read waits for this one
    };
    std::vector<Asked> asked;
    for (RingFile& file : files) {
      if (file.handle < 0) continue;
      for (RingRead& read : file.reads) {
        if (read.size == 0) continue;
        read.got = -ECANCELED;
        asked.push_back({&read, static_cast<int>(file.handle), false});
      }
      // The end is read after the head, as one file would be: a file that
      // grows in between shows it, and is read again whole. A head that
      // comes short cancels the end's read, which is then made on the file.
      if (file.reads[0].size > 0 && file.reads[1].size > 0) asked[asked.size() - 2].then_next = true;
    }
    submit_all(asked.size(), [&](std::size_t i, io_uring_sqe* sqe) {
      io_uring_prep_read(sqe, asked[i].descriptor, asked[i].read->buffer,
                         static_cast<unsigned>(asked[i].read->size), asked[i].read->offset);
      if (asked[i].then_next) io_uring_sqe_set_flags(sqe, IOSQE_IO_LINK);
      return &asked[i].read->got;
    });
  }

  void close(std::span<RingFile> files) override {
    std::vector<RingFile*> open;
    for (RingFile& file : files)
      if (file.handle >= 0) open.push_back(&file);
    std::vector<std::int64_t> results(open.size(), -ECANCELED);
    submit_all(RING_CLOSES ? open.size() : 0, [&](std::size_t i, io_uring_sqe* sqe) {
      io_uring_prep_close(sqe, static_cast<int>(open[i]->handle));
      return &results[i];
    });
    for (std::size_t i = 0; i < open.size(); ++i) {
      // A close that the ring refused is made here, so that no descriptor
      // is left open.
      if (results[i] == -ECANCELED || results[i] == -EINVAL || results[i] == -EOPNOTSUPP)
        static_cast<void>(::close(static_cast<int>(open[i]->handle)));
      open[i]->handle = -1;
    }
  }

 private:
  // Submits `count` operations, each prepared by `prepare(i, sqe)`, which
  // gives where its result goes, as many at a time as the ring holds, and
  // waits for every one of them.
  template <typename Prepare>
  void submit_all(std::size_t count, const Prepare& prepare) {
    if (broken_) return;  // all stay cancelled: their files are read one by one
    std::size_t next = 0;
    std::size_t pending = 0;
    while (next < count || pending > 0) {
      while (next < count) {
        io_uring_sqe* const sqe = io_uring_get_sqe(&ring_);
        if (sqe == nullptr) break;
        std::int64_t* const result = prepare(next, sqe);
        io_uring_sqe_set_data(sqe, result);
        ++next;
        ++pending;
      }
      const int submitted = io_uring_submit_and_wait(&ring_, 1);
      if (submitted < 0 && submitted != -EINTR && submitted != -EAGAIN && submitted != -EBUSY) {
        // The ring takes no more requests: those not done stay cancelled,
        // and their files are read one by one, as are all the files after.
        broken_ = true;
        return;
      }
      io_uring_cqe* cqe = nullptr;
      unsigned seen = 0;
      unsigned head = 0;
      io_uring_for_each_cqe(&ring_, head, cqe) {
        *static_cast<std::int64_t*>(io_uring_cqe_get_data(cqe)) = cqe->res;
        ++seen;
      }
      io_uring_cq_advance(&ring_, seen);
      pending -= seen;
    }
  }

  io_uring ring_;
  bool broken_ = false;
};

}  // namespace

std::unique_ptr<FileRing> make_file_ring(unsigned depth, std::string& why) {
  io_uring ring{};
  // Two reads a file at most go in at once.
  const int failed = io_uring_queue_init(depth * 2, &ring, 0);
  if (failed < 0) {
    why = error_text(-failed);
    return nullptr;
  }
  io_uring_probe* const probe = io_uring_get_probe_ring(&ring);
  const bool usable = probe != nullptr && io_uring_opcode_supported(probe, IORING_OP_OPENAT) &&
                      io_uring_opcode_supported(probe, IORING_OP_READ) &&
                      io_uring_opcode_supported(probe, IORING_OP_CLOSE);
  if (probe != nullptr) io_uring_free_probe(probe);
  if (!usable) {
    io_uring_queue_exit(&ring);
    why = "the system's io_uring cannot open, read and close files";
    return nullptr;
  }
  // An open that the kernel cannot serve from its caches waits for the disk
  // on one of the ring's kernel workers, of which it keeps a few a core by
  // default: as many as the files in flight, so that the disk is asked for
  // all of them at once. A kernel that cannot say so keeps its own.
  unsigned workers[2] = {depth, 0};
  static_cast<void>(io_uring_register_iowq_max_workers(&ring, workers));
  return std::make_unique<UringFiles>(ring);
}

std::int64_t RingFileReader::read_at(unsigned char* buffer, std::size_t size, std::uint64_t offset) {
  for (std::size_t i = 0; i < std::size(file_.reads); ++i) {
    const RingRead& read = file_.reads[i];
    if (read.size == 0 || read.offset != offset || read.size != size || answered_[i]) continue;
    answered_[i] = true;
    // A read the ring did not make is made here.
    if (read.got == -ECANCELED || read.got == -EAGAIN || read.got == -EINTR) break;
    if (read.got < 0) {
      refuses_offsets_ = read.got == -ESPIPE;
      failure_ = system_error(static_cast<int>(-read.got));
      return -1;
    }
    std::memcpy(buffer, read.buffer, static_cast<std::size_t>(read.got));
    return read.got;
  }
  ssize_t got;
  do got = pread(static_cast<int>(file_.handle), buffer, size, static_cast<off_t>(offset));
  while (got < 0 && errno == EINTR);
  if (got < 0) {
    refuses_offsets_ = errno == ESPIPE;
    failure_ = system_error(errno);
  }
  return got;
}

std::int64_t RingFileReader::read_on(unsigned char* buffer, std::size_t size) {
  ssize_t got;
  do got = ::read(static_cast<int>(file_.handle), buffer, size);
  while (got < 0 && errno == EINTR);
  if (got < 0) failure_ = system_error(errno);
  return got;
}

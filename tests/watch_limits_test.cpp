// The system's limits of inotify made small for one run, as root: events
// lost are found again by listing, and a folder that gets no watch is
// polled. The limits are the whole system's: no other test runs beside.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "run_tool.h"
#include "watching.h"

namespace {

// A limit of the system's inotify, set for one run and put back as soon
// as the run has its watches, or at the end.
class InotifyLimit {
 public:
  InotifyLimit(const std::string& name, long value) : path_("/proc/sys/fs/inotify/" + name) {
    std::ifstream(path_) >> before_;
    std::ofstream(path_) << value << '\n';
    long now = -1;
    std::ifstream(path_) >> now;
    set_ = now == value;
  }
  ~InotifyLimit() { restore(); }
  InotifyLimit(const InotifyLimit&) = delete;
  InotifyLimit& operator=(const InotifyLimit&) = delete;
  bool set() const { return set_; }
  void restore() {
    if (before_ >= 0) std::ofstream(path_) << before_ << '\n';
    before_ = -1;
  }

 private:
  std::string path_;
  long before_ = -1;
  bool set_ = false;
};

// The watches the processes of root hold now.
long root_watches() {
  long count = 0;
  std::error_code error;
  for (const auto& process : fs::directory_iterator("/proc", error)) {
    std::ifstream status(process.path() / "status");
    std::string line;
    long uid = -1;
    while (std::getline(status, line)) {
      if (!line.starts_with("Uid:")) continue;
      std::istringstream(line.substr(4)) >> uid;
      break;
    }
    if (uid != 0) continue;
    for (const auto& fd : fs::directory_iterator(process.path() / "fdinfo", error)) {
      std::ifstream info(fd.path());
      while (std::getline(info, line))
        if (line.starts_with("inotify wd:")) ++count;
    }
  }
  return count;
}

// The system's limits made small for one run, as root: events lost are
// found again by listing, and a folder that gets no watch is polled.
TEST(Watch, SmallLimitsLoseNothing) {
  if (geteuid() != 0) GTEST_SKIP() << "only root sets the limits of inotify";
  {
    ScratchDir scratch;
    fs::create_directories("spool/in");
    InotifyLimit queue("max_queued_events", 16);
    if (!queue.set()) GTEST_SKIP() << "the limits of inotify cannot be set here";
    Watching watching({"--watch", "spool"});
    ASSERT_EQ(watching.line(), "watch: watching 2 folders");
    queue.restore();  // the watch's queue keeps its size
    watching.signal(SIGSTOP);
    std::vector<std::string> landed;
    for (int i = 0; i < 40; ++i) {
      const std::string path = "spool/in/" + std::to_string(10000 + i) + "A.ok";
      land(path, VALID);
      landed.push_back(valid_line(path));
    }
    watching.signal(SIGCONT);
    EXPECT_EQ(watching.line(), "watch: listed again (overflow): 2 folders, 40 files new or changed");
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < landed.size(); ++i) lines.push_back(watching.line());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, landed);
    watching.signal(SIGTERM);
    EXPECT_EQ(watching.line(), "40 files judged: 40 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped");
    EXPECT_EQ(watching.status(), 0);
  }
  {
    ScratchDir scratch;
    fs::create_directories("spool/in");
    InotifyLimit watches("max_user_watches", root_watches());
    if (!watches.set()) GTEST_SKIP() << "the limits of inotify cannot be set here";
    Watching watching({"--watch", "spool"});
    EXPECT_EQ(watching.line(), "watch: spool: polled every 2.000s: No space left on device");
    EXPECT_EQ(watching.line(), "watch: watching 0 folders, polling 2 every 2.000s");
    watches.restore();
    land("spool/in/12345A678.ok", VALID);
    EXPECT_EQ(watching.line(), valid_line("spool/in/12345A678.ok"));
    watching.signal(SIGTERM);
    EXPECT_EQ(watching.line(), "1 file judged: 1 valid, 0 not valid, 0 bad names, 0 not opened; 0 skipped");
    EXPECT_EQ(watching.status(), 0);
  }
}

}  // namespace

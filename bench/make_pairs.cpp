// Writes a spool of command and response pairs for the benchmark of
// --pairs: COMMANDS commands over FOLDERS out/ folders, each with its in/
// partner. About 70 % of the commands are answered, 10 % stale, 10 %
// pending, a few in conflict; a few responses are orphans, and one file in
// twenty is not valid.
//   make_pairs DIR COMMANDS FOLDERS
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string vardek(unsigned char last_key_byte, long i) {
  std::string bytes("#\0\0\x01\x0c\0VARDEK123456\x02\x06\0\x20\x26\x12\x08\x18", 26);
  bytes += static_cast<char>(last_key_byte);
  bytes += std::string(static_cast<std::size_t>(i % 400), 'x');
  bytes += std::string("\x04\x03\0EOF", 6);
  if (i % 20 == 7) bytes.resize(20);  // one in twenty not valid
  return bytes;
}

bool write(const std::string& path, const std::string& bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
      std::fclose(out) == 0)
    return true;
  std::perror(path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_pairs DIR COMMANDS FOLDERS\n");
    return 2;
  }
  const std::string root = argv[1];
  const long commands = std::strtol(argv[2], nullptr, 10);
  const long folders = std::strtol(argv[3], nullptr, 10);
  mkdir(root.c_str(), 0755);
  for (long folder = 0; folder < folders; ++folder) {
    const std::string spool = root + "/spool" + std::to_string(folder);
    mkdir(spool.c_str(), 0755);
    mkdir((spool + "/in").c_str(), 0755);
    mkdir((spool + "/out").c_str(), 0755);
  }
  for (long i = 0; i < commands; ++i) {
    const std::string spool = root + "/spool" + std::to_string(i % folders);
    char stem[16];
    std::snprintf(stem, sizeof stem, "%05ldA%03ld", i / 1000 % 100000, i % 1000);
    if (!write(spool + "/out/" + stem + ".cmd", vardek(0x30, i))) return 1;
    const long kind = i % 100;
    if (kind < 10) continue;  // pending
    // stale: an older response; answered: a newer one, ok or fail
    const unsigned char key = kind < 20 ? 0x20 : 0x40;
    if (!write(spool + "/in/" + stem + (kind % 7 ? ".ok" : ".fail"), vardek(key, i)))
      return 1;
    if (kind == 97 && !write(spool + "/in/" + stem + ".fail", vardek(key, i)))
      return 1;  // conflict
    if (kind == 98) {  // an orphan beside it
      std::snprintf(stem, sizeof stem, "%05ldB%03ld", i / 1000 % 100000, i % 1000);
      if (!write(spool + "/in/" + stem + ".ok", vardek(key, i))) return 1;
    }
  }
  return 0;
}

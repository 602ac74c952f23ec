// Writes a spool tree for the inspector's benchmark: FILES files spread over
// FOLDERS folders, alternately in/ and out/, of sizes from 33 bytes to a few
// KiB, one in ten not valid (cut short, a bad marker, or no end record).
//   make_spool DIR FILES FOLDERS
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_spool DIR FILES FOLDERS\n");
    return 2;
  }
  const std::string root = argv[1];
  const long files = std::strtol(argv[2], nullptr, 10);
  const long folders = std::strtol(argv[3], nullptr, 10);
  mkdir(root.c_str(), 0755);
  const std::string head("#\0\0\x01\x0c\0VARDEK123456\x02\x06\0\x20\x26\x12\x08\x18\x30", 27);
  const std::string end("\x04\x03\0EOF", 6);
  for (long folder = 0; folder < folders; ++folder) {
    const bool response = folder % 2 == 0;
    const std::string spool = root + "/spool" + std::to_string(folder);
    const std::string dir = spool + (response ? "/in" : "/out");
    mkdir(spool.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    for (long i = folder; i < files; i += folders) {
      char name[32];
      std::snprintf(name, sizeof name, "/%05ldA%03ld%s", i % 100000, i % 1000,
                    response ? ".ok" : ".cmd");
      std::string bytes = head + std::string(static_cast<std::size_t>(i % 4000), 'x') + end;
      switch (i % 30) {
        case 3: bytes.resize(20); break;           // cut short
        case 13: bytes[0] = '!'; break;            // a bad marker
        case 23: bytes.resize(bytes.size() - 1); break;  // no end record
        default: break;
      }
      std::FILE* out = std::fopen((dir + name).c_str(), "wb");
      if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
          std::fclose(out) != 0) {
        std::perror(name);
        return 1;
      }
    }
  }
  return 0;
}

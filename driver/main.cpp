// tarnwick [-q] file1 [file2]: are these valid command or response files,
// and which of the two is newer by the timestamp stored inside?
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vardek_file.h"
#ifdef _WIN32
#include "windows_paths.h"
#endif
#ifdef TARNWICK_PROTECT_RELRO
#include "read_only_relocations.h"
#endif

namespace {

// Static, not on the stack: a small file then touches one page of each.
// On ELF systems they go after every other variable (cmake/images-last.ld),
// so that the first shares its page with them.
#ifdef __ELF__
#define TARNWICK_IMAGE(which) [[gnu::section(".sbss.tarnwick_image." #which)]]
#else
#define TARNWICK_IMAGE(which)
#endif
TARNWICK_IMAGE(first) FileImage first_image;
TARNWICK_IMAGE(second) FileImage second_image;

// Standard output never needs more than the usage text; a static buffer
// spares the heap, which nothing else on this path uses.
char output_buffer[1024];

[[noreturn]] void show_usage() {
  // The exit status is the answer; a failed write to standard output does
  // not change it.
  static_cast<void>(std::fputs(
      "Usage: tarnwick [-q] file1 [file2]\n"
      "Where: -q = quiet mode\n"
      "Returns rc=1 if file1 is newer based on internal timestamps\n"
      "     or rc=2 if file2 is newer based on internal timestamps\n"
      "     or rc=0 if they are the same (or only one file is specified)\n"
      "     or rc=4 if the file(s) are not valid Vardek files\n"
      "     or rc=3 if there is any other problem\n",
      stdout));
  std::exit(RC_OTHER_PROBLEM);
}

ResultCode decide_verdict(const TimestampKey& first,
                          const TimestampKey& second) {
  const int order = std::memcmp(first.data(), second.data(), first.size());
  if (order > 0) return RC_FIRST_NEWER;
  if (order < 0) return RC_SECOND_NEWER;
  return RC_SAME;
}

[[noreturn]] void finish(ResultCode verdict) {
  static const char* const DIGITS[] = {"0\n", "1\n", "2\n"};
  if (!quiet_mode) static_cast<void>(std::fputs(DIGITS[verdict], stdout));
  std::exit(verdict);
}

// The whole run: options, both names and opens, both contents, verdict.
[[noreturn]] void run(int argc, char** argv) {
#ifdef TARNWICK_PROTECT_RELRO
  make_relocations_read_only();
#endif
  // Should this fail, standard output keeps the C library's own buffer.
  static_cast<void>(
      std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer));
#ifdef SIGPIPE
  // The exit status is the answer: a reader that has gone away makes the
  // write fail, and must not end the process with a signal instead.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
#endif

  // Options come only before the first file, and only the letter after the
  // dash counts: -q, -Q and -quiet are all quiet mode.
  int next = 1;
  while (next < argc && argv[next][0] == '-') {
    const char letter = argv[next][1];
    if (letter != 'q' && letter != 'Q') show_usage();
    quiet_mode = true;
    ++next;
  }
  if (next >= argc) show_usage();

  // Both names are checked and both files opened before any content is read;
  // arguments after the second are never looked at.
  char* const first_argument = argv[next];
  char* const second_argument = next + 1 < argc ? argv[next + 1] : nullptr;
  const InputFile first = open_vardek_file(first_argument);
  const InputFile second =
      second_argument ? open_vardek_file(second_argument) : NO_FILE;

  load_vardek_file(first_image, first, first_argument);
  close_vardek_file(first);
  if (second_argument == nullptr) finish(RC_SAME);

  load_vardek_file(second_image, second, second_argument);
  close_vardek_file(second);
  finish(
      decide_verdict(timestamp_key({first_image.bytes, first_image.length}),
                     timestamp_key({second_image.bytes, second_image.length})));
}

}  // namespace

#ifdef _WIN32
// Windows gives the arguments in UTF-16; the tool works on UTF-8 throughout.
extern "C" int wmain(int argc, wchar_t** argv);
extern "C" int wmain(int argc, wchar_t** argv) {
  char** const arguments = utf8_arguments(argc, argv);
  // No command line that Windows makes is too long for it; were one ever
  // to be, the tool would stop rather than judge what it could not read.
  if (arguments == nullptr) std::exit(RC_OTHER_PROBLEM);
  run(argc, arguments);
}
#else
int main(int argc, char** argv) { run(argc, argv); }
#endif

// The contract between the command line and the file checks: result codes,
// the image buffers, the timestamp key, the quiet flag, the two entry points
// that end the process on failure, and the pure checks beneath them.
#ifndef TARNWICK_VARDEK_FILE_H
#define TARNWICK_VARDEK_FILE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The process exit status; the usage text states these to the user.
enum ResultCode : int {
  RC_SAME = 0,           // same timestamps, or one valid file
  RC_FIRST_NEWER = 1,    // the first file is newer
  RC_SECOND_NEWER = 2,   // the second file is newer
  RC_OTHER_PROBLEM = 3,  // bad command line, or a file that cannot be opened
  RC_NOT_VALID = 4,      // a badly formed name, or content that is not valid
};

// At most this many bytes of a file are ever read, and only they are judged.
inline constexpr std::size_t IMAGE_CAPACITY = 200000;

// The first bytes of one file. `length` comes first so that a small file
// touches a single page of the buffer.
struct FileImage {
  std::size_t length;  // bytes the one read delivered
  unsigned char bytes[IMAGE_CAPACITY];
};

// The six bytes of the timestamp value, compared as unsigned bytes from the
// first: the first byte that differs decides which file is newer.
inline constexpr std::size_t TIMESTAMP_SIZE = 6;
using TimestampKey = std::array<unsigned char, TIMESTAMP_SIZE>;

// Set by -q: no message and no verdict digit is printed (the usage text is).
extern bool quiet_mode;

// --- Pure checks: bytes in, answer out. ---

enum class NameKind { rejected, response, command };

// What a path names by its form alone: a response file (in/NNNNNX[NNN].ok or
// .fail), a command file (out/NNNNNX[NNN].cmd), or neither.
NameKind name_kind(std::string_view path);

// The offset of the timestamp record head in a valid image (18 or 21), or 0
// when the bytes are not a valid command or response file.
std::size_t timestamp_head_offset(std::span<const unsigned char> image);

inline bool image_is_valid(std::span<const unsigned char> bytes) {
  return timestamp_head_offset(bytes) != 0;
}

// The timestamp value of an image that image_is_valid accepted.
TimestampKey timestamp_key(std::span<const unsigned char> valid_image);

// --- Entry points that end the process on failure. ---

// An open file as the platform knows it: a descriptor, or a Windows handle.
using InputFile = std::intptr_t;

// Trims the argument's quotes (cutting a closing one in place), checks the
// name and opens the file for binary reading. On a bad name or a failed open
// it prints its message unless quiet and exits with 4 or 3.
InputFile open_vardek_file(char* argument);

// Reads the start of the file into `image` and returns only if it is a valid
// command or response file; otherwise prints its message unless quiet and
// exits with 4. `argument` is used only in that message.
void load_vardek_file(FileImage& image, InputFile file, const char* argument);

// Closes a file that open_vardek_file gave.
void close_vardek_file(InputFile file);

// How every check ends the process: the message, whose one conversion is %s
// for `path`, unless quiet, then the exit status `code`.
[[noreturn]] void fail(ResultCode code, const char* format, const char* path);

// --- What differs per platform: platform_posix.cpp, platform_win32.cpp. ---

inline constexpr InputFile NO_FILE = -1;

// Opens `path` for binary reading without keeping others from reading,
// writing or deleting it; NO_FILE if that fails or `path` is a directory.
InputFile open_for_reading(const char* path);

// Reads until `capacity` bytes are in, the file ends or a read fails; gives
// the number of bytes read.
std::size_t read_up_to(InputFile file, unsigned char* buffer,
                       std::size_t capacity);

// Writes `format` with `path` for its %s to standard output.
void print_message(const char* format, const char* path);

// Windows: the process's UTF-16 arguments as UTF-8, converted once into
// static storage.
char** utf8_arguments(int argc, wchar_t** argv);

// --- Text and paths for Windows, pure so that every platform tests them.
// A wchar_t holds one UTF-16 code unit. A lone surrogate, which a Windows
// file name may hold, is carried through as its own three-byte sequence, so
// that a name converts back to exactly the units it came from. Each gives
// the units written, terminator included, or 0 when `capacity` is too small.

std::size_t utf16_to_utf8(std::wstring_view text, char* out,
                          std::size_t capacity);
std::size_t utf8_to_utf16(std::string_view text, wchar_t* out,
                          std::size_t capacity);

// A full path (drive or UNC) in the form that lifts Windows' 260-character
// limit: C:\x becomes \\?\C:\x, \\server\share becomes \\?\UNC\server\share.
// A path already in a \\?\ or \\.\ form is given as it is.
std::size_t extended_length_path(std::wstring_view full_path, wchar_t* out,
                                 std::size_t capacity);

#endif

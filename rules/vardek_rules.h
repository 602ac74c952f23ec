// The rules that every program judges by: the exit statuses, the naming
// rule, the layout of command and response files, the content check and the
// timestamp key. Pure functions of bytes: nothing here opens, reads, prints
// or ends the process, so that two programs built on it cannot disagree.
#ifndef TARNWICK_VARDEK_RULES_H
#define TARNWICK_VARDEK_RULES_H

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

// The process exit status, which every program answers with.
enum ResultCode : int {
  RC_SAME = 0,           // same timestamps, or one valid file
  RC_FIRST_NEWER = 1,    // the first file is newer
  RC_SECOND_NEWER = 2,   // the second file is newer
  RC_OTHER_PROBLEM = 3,  // bad command line, or a file that cannot be opened
  RC_NOT_VALID = 4,      // a badly formed name, or content that is not valid
};

// At most this many bytes of a file are ever read, and only they are judged.
inline constexpr std::size_t IMAGE_CAPACITY = 200000;

// The six bytes of the timestamp value, compared as unsigned bytes from the
// first: the first byte that differs decides which file is newer.
inline constexpr std::size_t TIMESTAMP_SIZE = 6;
using TimestampKey = std::array<unsigned char, TIMESTAMP_SIZE>;

// --- The path a file argument names. ---

// A double quote that a shell left at either end of an argument is not part
// of the path: the path starts after an opening one, and a closing one is
// cut (an argument that is a lone quote names the empty path).
inline std::string_view trim_quotes(std::string_view argument) {
  if (!argument.empty() && argument.front() == '"') argument.remove_prefix(1);
  if (!argument.empty() && argument.back() == '"') argument.remove_suffix(1);
  return argument;
}

// --- The naming rule. ---

// Both / and \ separate the folders of a path, on every system.
inline constexpr bool is_path_separator(char c) { return c == '/' || c == '\\'; }

// The endings of the folders that hold each kind of file: responses lie in
// a folder whose name ends in "in" (spool/in/, checkin/), commands in one
// whose name ends in "out".
inline constexpr std::string_view RESPONSE_FOLDER_END = "in";
inline constexpr std::string_view COMMAND_FOLDER_END = "out";

enum class NameKind { rejected, response, command };

// The parts of the naming rule, in the order they are checked.
enum class NameRule {
  none,       // no part failed: the name has one of the three forms
  directory,  // the directory's name ends in neither "in" nor "out"
  stem,       // the serial stem has neither 6 nor 9 characters
  extension,  // what follows the stem is not that kind's extension
};

// A serial stem is five digits, then a digit or a letter, then either
// nothing more or three more digits: 12345A, 12345A678.
inline constexpr std::size_t STEM_LETTER_POSITION = 5;
inline constexpr std::size_t SHORT_STEM = 6;
inline constexpr std::size_t LONG_STEM = 9;
// The stem walk stops after this many characters; any count but 6 or 9 is
// rejected anyway.
inline constexpr std::size_t STEM_WALK_LIMIT = 10;

// What the naming rule found in a path.
struct NameCheck {
  NameKind kind;            // what the path names; rejected unless no part failed
  NameRule failed;          // the first part that failed, or none
  NameKind directory_kind;  // the kind the directory prefix asks for, or rejected
  std::size_t base;         // where the base name starts: after the last separator
  std::size_t stem;         // characters of the base name the stem walk accepted
                            // (0 when the directory failed: never walked)
};

// The naming rule: a response file is <dir>in/NNNNNX[NNN].ok or .fail, a
// command file <dir>out/NNNNNX[NNN].cmd, with / or \ as separators.
NameCheck check_name(std::string_view path);

// What a path names by its form alone: a response file, a command file, or
// neither.
inline NameKind name_kind(std::string_view path) {
  return check_name(path).kind;
}

// The extensions that each kind of file takes, in the order reports name
// them. Not inline, as the layout's patterns below are not.
constexpr std::string_view RESPONSE_EXTENSIONS[] = {".ok", ".fail"};
constexpr std::string_view COMMAND_EXTENSIONS[] = {".cmd"};

// The extensions that a kind of file takes; none for a rejected name.
std::span<const std::string_view> allowed_extensions(NameKind kind);

// The name of a part of the naming rule, as reports give it: "directory",
// "stem", "extension".
std::string_view rule_name(NameRule rule);

// --- A command and its response. ---
//
// The response to D…out/S.cmd is D…in/S.ok or D…in/S.fail: the same serial
// stem S, byte for byte, in the folder whose name ends in "in" where the
// command's ends in "out" (spool/out/ and spool/in/, checkout/ and checkin/).
// ".ok" says the command was carried out, ".fail" that it was not.

enum class ResponseOutcome { ok, fail };

// What a name that passed the naming rule says of its place in a pair.
struct PairName {
  std::string_view common;  // the path before the folder's "in" or "out":
                            // spool/ for spool/out/ and spool/in/
  std::string_view stem;    // the serial stem
  ResponseOutcome outcome;  // a response's: fail for ".fail", else ok
};

// The parts of `path`, whose check `passed` accepted it.
PairName pair_name(std::string_view path, const NameCheck& passed);

// "ok" or "fail", as reports name an outcome.
std::string_view outcome_name(ResponseOutcome outcome);

// The ending of the folder that holds `kind` of file.
inline constexpr std::string_view folder_end(NameKind kind) {
  return kind == NameKind::response ? RESPONSE_FOLDER_END : COMMAND_FOLDER_END;
}

// --- The layout of command and response files. ---
//
//   offset 0      0x23 '#'
//   offset 1      two bytes, not examined
//   offset 3      identification: 0x01, length 12 or 15 (LE16), "VARDEK"...
//   offset 18|21  timestamp: 0x02, length 6 (LE16), six value bytes
//   ...           anything
//   length - 6    end record: 0x04, length 3 (LE16), "EOF"

// Not inline: each file that uses a pattern has its own copy, so that no
// symbol of the tool needs the linker's unique binding.
// clang-format off
// The first byte of every file.
constexpr unsigned char FILE_MARKER = 0x23;
// Identification record head and the first six bytes of its value, with a
// 12-byte value (short form) or a 15-byte one (long form).
constexpr unsigned char ID_SHORT[] = {0x01, 0x0C, 0x00, 'V', 'A', 'R', 'D', 'E', 'K'};
constexpr unsigned char ID_LONG[]  = {0x01, 0x0F, 0x00, 'V', 'A', 'R', 'D', 'E', 'K'};
// Timestamp record head: tag and a value length of 6.
constexpr unsigned char TIMESTAMP_HEAD[] = {0x02, 0x06, 0x00};
// The record that closes the file, as the last six bytes read.
constexpr unsigned char END_RECORD[] = {0x04, 0x03, 0x00, 'E', 'O', 'F'};
// clang-format on

inline constexpr std::size_t ID_OFFSET = 3;
// Where the timestamp head follows a 12-byte and a 15-byte identification.
inline constexpr std::size_t HEAD_AFTER_SHORT_ID = 18;
inline constexpr std::size_t HEAD_AFTER_LONG_ID = 21;
// Marker, two free bytes, short identification, timestamp and end records.
inline constexpr std::size_t MIN_FILE_SIZE = 33;
// The checks and the key never look past this many bytes from the start:
// the end of a timestamp value whose head stands at 21.
inline constexpr std::size_t CHECKED_START_SIZE =
    HEAD_AFTER_LONG_ID + sizeof TIMESTAMP_HEAD + TIMESTAMP_SIZE;

// --- The content check. ---

// The content tests, in the order they are made; the first to fail decides.
enum class ContentTest {
  none,            // no test failed: a valid command or response file
  length,          // fewer than MIN_FILE_SIZE bytes read
  marker,          // byte 0 is not FILE_MARKER
  identification,  // bytes 3-11 are neither ID_SHORT nor ID_LONG
  timestamp_head,  // TIMESTAMP_HEAD stands neither at 18 nor at 21
  end_record,      // the last six bytes read are not END_RECORD
};

// The name of a content test, as reports give it: "length", "marker",
// "identification", "timestamp-head", "end-record".
std::string_view test_name(ContentTest test);

// What the content check found.
struct ContentCheck {
  ContentTest failed;  // the first test that failed, or none
  std::size_t offset;  // where that test looked: the bytes read for length,
                       // the identification form's own head place for
                       // timestamp_head
  bool long_id;        // the identification form, once that test passed
  std::size_t head;    // the timestamp head's offset (18 or 21) once found
};

// The bytes of an image that the checks read, so that a caller need not
// hold all of it: its first min(length, CHECKED_START_SIZE) bytes and its
// last min(length, sizeof END_RECORD) bytes.
struct CheckedBytes {
  std::span<const unsigned char> start;
  std::span<const unsigned char> end;
  std::size_t length;  // bytes read
};

// The bytes the checks read of a whole image.
CheckedBytes checked_bytes_of(std::span<const unsigned char> image);

// The content check. Parts shorter than they should be for `length` fail
// the length test: nothing is read outside them.
ContentCheck check_content(const CheckedBytes& image);

// The offset of the timestamp record head in a valid image (18 or 21), or 0
// when the bytes are not a valid command or response file.
inline std::size_t timestamp_head_offset(std::span<const unsigned char> image) {
  const ContentCheck check = check_content(checked_bytes_of(image));
  return check.failed == ContentTest::none ? check.head : 0;
}

inline bool image_is_valid(std::span<const unsigned char> bytes) {
  return timestamp_head_offset(bytes) != 0;
}

// The timestamp value of an image that image_is_valid accepted.
TimestampKey timestamp_key(std::span<const unsigned char> valid_image);

// The same, from the first bytes of an image whose check passed.
TimestampKey timestamp_key(std::span<const unsigned char> start,
                           const ContentCheck& passed);

#endif

// The two checks that end the process on failure: naming and opening, and
// reading and judging the content.
#include <cstdlib>
#include <string_view>

#include "platform.h"
#include "vardek_file.h"

bool quiet_mode = false;

InputFile open_vardek_file(char* argument) {
  // Shells on some systems leave a quoted argument's quotes in place. The
  // opening one is skipped; the closing one is cut from the argument itself,
  // so later messages show the argument without it.
  const std::string_view trimmed = trim_quotes(argument);
  char* path = argument + (trimmed.data() - argument);
  path[trimmed.size()] = '\0';

  if (name_kind(trimmed) == NameKind::rejected)
    fail(RC_NOT_VALID,
         "tarnwick: file '%s' is not of form: in/12345A678.ok, "
         "in/12345A678.fail or out/12345A678.cmd\n",
         path);

  const InputFile file = open_for_reading(path);
  if (file == NO_FILE)
    fail(RC_OTHER_PROBLEM, "tarnwick: Cannot open file '%s' for reading\n",
         path);
  return file;
}

void load_vardek_file(FileImage& image, InputFile file, const char* argument) {
  // One request for IMAGE_CAPACITY bytes: a longer file is judged on its
  // first IMAGE_CAPACITY bytes, and a read error is just a short image.
  image.length = read_up_to(file, image.bytes, IMAGE_CAPACITY);
  if (image_is_valid({image.bytes, image.length})) return;
  fail(RC_NOT_VALID,
       "tarnwick: File '%s' is not a valid Vardek command or response file\n",
       argument);
}

void fail(ResultCode code, const char* format, const char* path) {
  if (!quiet_mode) print_message(format, path);
  std::exit(code);
}

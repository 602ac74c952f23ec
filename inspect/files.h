// What the inspector asks of the platform: directory listings, reading the
// parts of a file that the checks look at, and the system's own words for
// what went wrong. files_posix.cpp and files_win32.cpp give it.
#ifndef TARNWICK_INSPECT_FILES_H
#define TARNWICK_INSPECT_FILES_H

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report.h"

// A directory of a walk, held open while anything in it waits to be
// judged, so that its entries are opened relative to it.
struct Directory;
using DirectoryHandle = std::shared_ptr<const Directory>;

struct Entry {
  std::string name;
  EntryKind kind;
};

struct Listing {
  DirectoryHandle directory;   // null when it could not be listed
  std::vector<Entry> entries;  // in the order the system gave them
  std::string error;           // the system's reason, when it could not
};

// Lists `name` in `parent` (`path` when `parent` is null). A link is never
// followed to a directory here, except when the user named it: `parent` is
// null.
Listing list_directory(const Directory* parent, const std::string& name,
                       const std::string& path);

// Does the path, following links, name a directory?
bool is_directory(const std::string& path);

enum class ReadOutcome { read, cannot_open, not_regular };

// Reads the parts of a file that the checks look at, as if the tool had
// read it to the end or to 200000 bytes. A file the user named is read as
// the tool reads it, whatever it is. A file met in a walk (`parent` not
// null) is opened only if it is still a regular file: otherwise its kind is
// given and nothing is read. On cannot_open, `error` holds the system's
// reason.
ReadOutcome read_file(const Directory* parent, const std::string& name,
                      const std::string& path, ReadParts& parts,
                      EntryKind& kind, std::string& error);

// The separator that a walk puts between a directory and an entry.
extern const char PATH_SEPARATOR;

// Writes bytes to standard output; false when the write failed.
bool write_output(std::string_view bytes);

// Is standard error a terminal, for the progress line?
bool error_is_terminal();

// Opens a list of paths for reading, as bytes; "-" is standard input. On
// failure, null, and `error` holds the system's reason.
std::FILE* open_file_list(const std::string& path, std::string& error);

// Windows: the process's UTF-16 arguments as UTF-8.
std::vector<std::string> utf8_command_line(int argc, wchar_t** argv);

// Lets the walk hold as many directories open as the system allows.
void raise_open_file_limit();

#endif

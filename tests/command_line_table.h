// The command-line table of the tool, for other tests to run its rows too.
#ifndef TARNWICK_TESTS_COMMAND_LINE_TABLE_H
#define TARNWICK_TESTS_COMMAND_LINE_TABLE_H

#include <span>

#include "run_tool.h"

// Writes the files that the rows name into `dir`.
void write_command_line_files(const ScratchDir& dir);
std::span<const Row> command_line_rows();

#endif

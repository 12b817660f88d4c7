// The program's entry logic: argument, file names, streams, console and exit
// status.
//
// Exit status: 0 when the conversion succeeded; 1 for everything else (wrong
// argument count, a file that cannot be opened, a header error, a read or
// write failure).
#pragma once

#include <string>

#include "wave/stream.hpp"

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;

int run_conversion(int argc, char** argv);

// "kordimalen-" in front of the whole argument, directory part included.
std::string build_output_name(const std::string& argument);

// Prints what the user sees for the outcome of a conversion and returns the
// exit status.
int report_outcome(Outcome outcome, int header_error);

// Print the failure line and return the exit status for it. Every console
// line goes through print_console.
int report_header_error(int code);
int report_write_error();
int report_read_error();

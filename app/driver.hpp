// The program's entry logic: argument, file names, streams, console and exit
// status.
//
// Exit status: 0 when the conversion succeeded; 1 for everything else (wrong
// argument count, a file that cannot be opened, a header error, a read or
// write failure).
#pragma once

#include <string>
#include <vector>

#include "wave/stream.hpp"

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;

// The whole run of kordimalen: `arguments` are those after the program's name.
int run_conversion(const std::vector<std::string>& arguments);

// "kordimalen-" in front of the whole argument, directory part included.
std::string build_output_name(const std::string& argument);

// A failure line as the console shows it: the program's text, a name as the
// user gave it (or none), and the rest.
struct FailureLine {
    std::string text;
    std::string name;
    std::string end;
};

// What one conversion ended in.
struct ConversionReport {
    int status = exit_failure;
    FailureLine failure;     // empty on success
    bool copy_left = false;  // a failure left an incomplete output behind
};

// Converts `folder` + `name` into `folder` + "kordimalen-" + `name`, with the
// banner and the outcome's line for `name`, each run from the defaults, so
// that one conversion never sees another's values. `folder` is empty or ends
// in a separator. Both streams are closed again.
ConversionReport convert_recording(const std::string& folder, const std::string& name);

// The line that tells the user an outcome: the one place that maps an outcome
// to its text.
FailureLine failure_line(Outcome outcome, int header_error);

// Prints what the user sees for the outcome of a conversion and returns the
// exit status.
int report_outcome(Outcome outcome, int header_error);

#include "app/driver.hpp"

#include <cstdio>

#include "app/system.hpp"
#include "auxi/auxi_record.hpp"
#include "wave/conversion.hpp"
#include "wave/header_errors.hpp"

std::string build_output_name(const std::string& argument) { return "kordimalen-" + argument; }

int report_header_error(int code) {
    const std::string number = std::to_string(code);
    print_console({code == header_code::unknown_format_tag ? "Unknown wFormatTag." : "",
                   "Error in .wav file header [", number, "]"});
    return exit_failure;
}

int report_write_error() {
    print_console({"\nERROR: Failed to write output file.\n"});
    return exit_failure;
}

int report_read_error() {
    print_console({"\nERROR: Failed to read input file.\n"});
    return exit_failure;
}

int run_conversion(int argc, char** argv) {
    static AuxiRecord record;  // lives for the whole run, like the conversion
    auxi_set_defaults(record);

    if (argc != 2) {
        print_console({"Give a single filename as argument to this program. (ex sim.wav)"});
        return exit_failure;
    }
    const std::string input_name = argv[1];
    const std::string output_name = build_output_name(input_name);
    print_console(
        {"\n Convert ", given_name(input_name), " to Kordimalen format (", given_name(output_name), ")\n\n"});

    ConversionState state;
    state.input = open_file(input_name, "rb");
    // A folder opens for reading on POSIX systems, but it is not a recording.
    if (state.input == nullptr || opened_kind(state.input) == FileKind::folder) {
        print_console({"Could not open ", given_name(input_name)});
        return exit_failure;
    }
    // Nothing is written that would destroy the input or write the console
    // lines into the output; the guard looks at the file that was opened.
    state.output = open_output(output_name, state.input);
    if (state.output == nullptr) {
        print_console({"Could not open ", given_name(output_name), "\n"});
        return exit_failure;
    }
    state.output_is_regular_file = opened_kind(state.output) == FileKind::regular_file;
    set_stream_buffers(state);

    const Outcome outcome = convert_wave(state, record);
    return report_outcome(outcome, state.header_error);
}

int report_outcome(Outcome outcome, int header_error) {
    switch (outcome) {
        case Outcome::success: return exit_success;
        case Outcome::header_error: return report_header_error(header_error);
        case Outcome::write_failure: return report_write_error();
        case Outcome::read_failure: return report_read_error();
    }
    unreachable();
}

#include "app/driver.hpp"

#include <cstdio>

#include "app/system.hpp"
#include "auxi/auxi_record.hpp"
#include "wave/conversion.hpp"
#include "wave/header_errors.hpp"

std::string build_output_name(const std::string& argument) { return "kordimalen-" + argument; }

FailureLine failure_line(Outcome outcome, int header_error) {
    switch (outcome) {
        case Outcome::success: return {};
        case Outcome::header_error:
            return {
                std::string(header_error == header_code::unknown_format_tag ? "Unknown wFormatTag." : "") +
                    "Error in .wav file header [" + std::to_string(header_error) + "]",
                "", ""};
        case Outcome::write_failure: return {"\nERROR: Failed to write output file.\n", "", ""};
        case Outcome::read_failure: return {"\nERROR: Failed to read input file.\n", "", ""};
    }
    unreachable();
}

namespace {

void print_line(const FailureLine& line) { print_console({line.text, given_name(line.name), line.end}); }

}  // namespace

int report_outcome(Outcome outcome, int header_error) {
    print_line(failure_line(outcome, header_error));
    return outcome == Outcome::success ? exit_success : exit_failure;
}

int run_conversion(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) {
        print_console({"Give a single filename as argument to this program. (ex sim.wav)"});
        return exit_failure;
    }
    return convert_recording("", arguments[0]).status;
}

ConversionReport convert_recording(const std::string& folder, const std::string& name) {
    static AuxiRecord record;  // the process's record, set anew for each conversion
    auxi_set_defaults(record);

    const std::string output_name = build_output_name(name);
    print_console(
        {"\n Convert ", given_name(name), " to Kordimalen format (", given_name(output_name), ")\n\n"});

    ConversionReport report;
    ConversionState state;
    state.input = open_file(folder + name, "rb");
    // A folder opens for reading on POSIX systems, but it is not a recording.
    if (state.input != nullptr && opened_kind(state.input) == FileKind::folder) {
        (void)std::fclose(state.input);
        state.input = nullptr;
    }
    if (state.input == nullptr) {
        report.failure = {"Could not open ", name, ""};
        print_line(report.failure);
        return report;
    }
    // Nothing is written that would destroy the input or write the console
    // lines into the output; the guard looks at the file that was opened.
    state.output = open_output(folder + output_name, state.input);
    if (state.output == nullptr) {
        (void)std::fclose(state.input);
        report.failure = {"Could not open ", output_name, "\n"};
        print_line(report.failure);
        return report;
    }
    state.output_is_regular_file = opened_kind(state.output) == FileKind::regular_file;
    set_stream_buffers(state);

    const Outcome outcome = convert_wave(state, record);  // closes the output
    (void)std::fclose(state.input);
    report.status = report_outcome(outcome, state.header_error);
    report.failure = failure_line(outcome, state.header_error);
    report.copy_left = outcome != Outcome::success;
    return report;
}

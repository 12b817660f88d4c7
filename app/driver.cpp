#include "app/driver.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "auxi/auxi_record.hpp"
#include "wave/conversion.hpp"

namespace {

// True when both names lead to one file (a hard or symbolic link): creating
// the output would then empty the input before a byte of it was read.
bool same_file(const std::string& input_name, const std::string& output_name) {
    const auto input = file_path(input_name);
    const auto output = file_path(output_name);
    std::error_code error;
    return input && output && std::filesystem::equivalent(*input, *output, error) && !error;
}

// What a name leads to; `none` when it leads nowhere or cannot be a path.
std::filesystem::file_type file_type(const std::string& name) {
    const auto path = file_path(name);
    std::error_code error;
    return path ? std::filesystem::status(*path, error).type() : std::filesystem::file_type::none;
}

}  // namespace

std::string build_output_name(const std::string& argument) { return "kordimalen-" + argument; }

// Console lines: a console that cannot be written to has nowhere to report
// that, so their results are dropped; the exit status still tells the outcome.

int report_header_error(int code) {
    (void)std::printf("Error in .wav file header [%d]", code);
    return exit_failure;
}

int report_write_error() {
    (void)std::fputs("\nERROR: Failed to write output file.\n", stdout);
    return exit_failure;
}

int report_read_error() {
    (void)std::fputs("\nERROR: Failed to read input file.\n", stdout);
    return exit_failure;
}

int run_conversion(int argc, char** argv) {
    static AuxiRecord record;  // lives for the whole run, like the conversion
    auxi_set_defaults(record);

    if (argc != 2) {
        (void)std::fputs("Give a single filename as argument to this program. (ex sim.wav)", stdout);
        return exit_failure;
    }
    const std::string input_name = argv[1];
    ConversionState state;
    state.output_name = build_output_name(input_name);
    (void)std::printf("\n Convert %s to Kordimalen format (%s)\n\n", input_name.c_str(),
                      state.output_name.c_str());

    state.input = std::fopen(input_name.c_str(), "rb");
    // A folder opens for reading on POSIX systems, but it is not a recording.
    if (state.input == nullptr || file_type(input_name) == std::filesystem::file_type::directory) {
        (void)std::printf("Could not open %s", input_name.c_str());
        return exit_failure;
    }
    if (same_file(input_name, state.output_name) ||
        (state.output = std::fopen(state.output_name.c_str(), "wb")) == nullptr) {
        (void)std::printf("Could not open %s\n", state.output_name.c_str());
        return exit_failure;
    }
    state.output_is_regular_file = file_type(state.output_name) == std::filesystem::file_type::regular;
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
    return exit_failure;
}

// The conversion in progress and the unit reads and writes it is made of.
// Every number in a wave file is little-endian; every unit counts as done only
// when all of its bytes were transferred.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

enum class Outcome {
    success,
    header_error,  // ConversionState::header_error names the check
    write_failure,
    read_failure,  // an I/O error (not the end) while copying sample data
};

struct ConversionState {
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;
    std::string output_name;
    bool output_is_regular_file = false;  // only then is the RIFF size corrected
    int header_error = 0;
    std::uint32_t fmt_remaining = 0;
    std::uint32_t avg_bytes_per_sec = 0;
    std::int16_t block_align = 0;
    std::uint32_t receiver_value = 0;
};

// The file a name given to fopen opens, for the std::filesystem queries. Names
// are the bytes the user typed: on POSIX the name itself, on Windows UTF-8
// (the program runs with the UTF-8 code page, see app/windows).
std::filesystem::path file_path(const std::string& name);

enum class Transfer {
    done,         // every byte asked for was moved
    input_ended,  // the input ended first
    input_error,  // the input failed with an I/O error first
    write_failed,
};

inline constexpr std::uint64_t until_end_of_input = UINT64_MAX;

// Reads exactly `size` bytes; false when the input ended or failed first.
bool read_unit(ConversionState& state, void* unit, std::size_t size);
bool write_unit(ConversionState& state, const void* unit, std::size_t size);

// Copies `count` bytes (or up to the end of the input) through a fixed block
// buffer. Every byte that was read is written, even when the input ends early.
Transfer copy_bytes(ConversionState& state, std::uint64_t count);
// Reads and discards `count` bytes.
Transfer skip_bytes(ConversionState& state, std::uint64_t count);

// Big stream buffers: the pass reads and writes many small header units.
void set_stream_buffers(ConversionState& state);

// Puts the output's length minus 8 into the RIFF size field when the output is
// a regular file and the value fits 32 bits, then flushes and closes it.
bool finish_output(ConversionState& state);
// Flushes and closes the output; false if any buffered byte was not written.
bool close_output(ConversionState& state);

// The conversion in progress and the unit reads and writes it is made of.
// Every number in a wave file is little-endian; every unit counts as done only
// when all of its bytes were transferred.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

enum class Outcome {
    success,
    header_error,  // ConversionState::header_error names the check
    write_failure,
    read_failure,  // an I/O error (not the end) anywhere in the input
};

// Ends a switch that returns for every value of its enum: no other value is
// ever made, so control never gets past it.
[[noreturn]] inline void unreachable() {
#if defined(__GNUC__)
    __builtin_unreachable();
#elif defined(_MSC_VER)
    __assume(false);
#else
    std::abort();  // never falls through, whatever the compiler
#endif
}

struct ConversionState {
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;
    bool output_is_regular_file = false;  // only then is the RIFF size corrected
    int header_error = 0;
    std::uint32_t riff_size = 0;  // as the input gives it
    std::uint32_t fmt_size = 0;
    std::uint32_t fmt_remaining = 0;
    std::uint32_t avg_bytes_per_sec = 0;
    std::int16_t block_align = 0;
    std::uint32_t receiver_value = 0;
    // Every byte written, counted as it goes: the output's length until the
    // RIFF size is written again over its field at the end.
    std::uint64_t bytes_written = 0;
};

enum class Transfer {
    done,         // every byte asked for was moved
    input_ended,  // the input ended first
    input_error,  // the input failed with an I/O error first
    write_failed,
};

inline constexpr std::uint64_t until_end_of_input = UINT64_MAX;

// Reads exactly `size` bytes; false when the input ended or failed first.
bool read_unit(ConversionState& state, void* unit, std::size_t size);
// Writes exactly `size` bytes and counts them; false when they did not all go.
bool write_unit(ConversionState& state, const void* unit, std::size_t size);

// Copies `count` bytes (or up to the end of the input) through a fixed block
// buffer. Every byte that was read is written, even when the input ends early.
Transfer copy_bytes(ConversionState& state, std::uint64_t count);
// Reads and discards `count` bytes.
Transfer skip_bytes(ConversionState& state, std::uint64_t count);

// Big stream buffers: the pass reads and writes many small header units.
void set_stream_buffers(ConversionState& state);

// The RIFF size that a finished output of `length` bytes carries: its length
// minus 8 when that fits 32 bits, else the value the input gave.
std::uint32_t riff_size_for(std::uint64_t length, std::uint32_t input_riff_size);

// Sets the RIFF size field (a regular file only: a pipe cannot be seeked back)
// and closes the output; false when any write, the seek or the close failed.
bool finish_output(ConversionState& state);
// Closes the output; false when a write failed at any time, the last flush
// included.
bool close_output(ConversionState& state);

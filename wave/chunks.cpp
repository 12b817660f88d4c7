#include <cstring>

#include "wave/conversion.hpp"
#include "wave/header_errors.hpp"
#include "wave/little_endian.hpp"

namespace {

// header_error values while walking: what the input ending at the next chunk
// ID reports, by what came before it.
constexpr int ended_after_fmt = header_code::ended_after_fmt;
constexpr int ended_after_rcvr = header_code::rcvr_cut_short;
constexpr int ended_after_other = header_code::chunk_cut_short;

bool is_id(const std::uint8_t* id, const char* name) { return std::memcmp(id, name, 4) == 0; }

// What may stand between a chunk of odd size and the next chunk ID.
enum class Pad {
    none,  // the chunk's size was even
    skip,  // a dropped chunk's pad byte
    copy,  // the "fmt " chunk's pad byte, which goes to the output with the chunk
};

// After a chunk of odd size a 0 byte is its RIFF pad byte; any other byte
// starts the next ID (writers that omit the pad).
Outcome read_chunk_id(ConversionState& state, std::uint8_t* id, Pad pad) {
    std::size_t have = 0;
    if (pad != Pad::none) {
        if (!read_unit(state, id, 1)) {
            return Outcome::header_error;
        }
        if (id[0] != 0) {
            have = 1;
        } else if (pad == Pad::copy && !write_unit(state, id, 1)) {
            return Outcome::write_failure;
        }
    }
    return read_unit(state, id + have, 4 - have) ? Outcome::success : Outcome::header_error;
}

bool read_size(ConversionState& state, std::uint32_t& size) {
    std::uint8_t field[4];
    if (!read_unit(state, field, 4)) {
        return false;
    }
    size = load_u32(field);
    return true;
}

// The first four content bytes replace receiver_value's bytes from the least
// significant up; a shorter chunk leaves the higher bytes as they were.
bool read_receiver_value(ConversionState& state, std::uint32_t size) {
    const std::uint32_t kept = size < 4 ? size : 4;
    std::uint8_t bytes[4];
    if (!read_unit(state, bytes, kept)) {
        return false;
    }
    // cppcheck 2.10 takes this loop for dead code; kept is min(size, 4), 0 to 4.
    // cppcheck-suppress knownConditionTrueFalse
    for (std::uint32_t i = 0; i < kept; ++i) {
        state.receiver_value &= ~(std::uint32_t{0xFF} << (8 * i));
        state.receiver_value |= std::uint32_t{bytes[i]} << (8 * i);
    }
    return skip_bytes(state, size - kept) == Transfer::done;
}

Outcome write_data_chunk(ConversionState& state, AuxiRecord& record) {
    std::uint8_t data_size[4];
    if (!read_unit(state, data_size, 4)) {
        state.header_error = ended_after_other;
        return Outcome::header_error;
    }
    // A header that claims 0 bytes a second still gets a stop time: the rate
    // then comes from the sample rate and block size.
    const std::uint64_t bytes_per_sec =
        state.avg_bytes_per_sec != 0
            ? state.avg_bytes_per_sec
            : std::uint64_t{record.sample_rate} * static_cast<std::uint16_t>(state.block_align);
    auxi_set_stop_time(record, load_u32(data_size), bytes_per_sec);
    if (!auxi_write(record, state.output)) {
        return Outcome::write_failure;
    }
    state.bytes_written += auxi_chunk_bytes;
    if (!write_unit(state, "data", 4) || !write_unit(state, data_size, 4)) {
        return Outcome::write_failure;
    }
    return copy_sample_data(state);
}

}  // namespace

Outcome walk_chunks(ConversionState& state, AuxiRecord& record) {
    state.header_error = ended_after_fmt;
    Pad pad = (state.fmt_size & 1) != 0 ? Pad::copy : Pad::none;
    for (;;) {
        std::uint8_t id[4];
        if (const Outcome read = read_chunk_id(state, id, pad); read != Outcome::success) {
            return read;
        }
        if (is_id(id, "data")) {
            return write_data_chunk(state, record);
        }
        const bool receiver = is_id(id, "rcvr");
        std::uint32_t size = 0;
        state.header_error = receiver ? ended_after_rcvr : ended_after_other;
        if (!read_size(state, size)) {
            return Outcome::header_error;
        }
        if (receiver) {
            if (!read_receiver_value(state, size)) {
                return Outcome::header_error;
            }
            record.receiver_frequency = state.receiver_value;
        } else if (skip_bytes(state, size) != Transfer::done) {
            return Outcome::header_error;
        }
        pad = (size & 1) != 0 ? Pad::skip : Pad::none;
    }
}

Outcome copy_sample_data(ConversionState& state) {
    switch (copy_bytes(state, until_end_of_input)) {
        case Transfer::input_ended:
        case Transfer::done: return Outcome::success;
        case Transfer::input_error: return Outcome::read_failure;
        case Transfer::write_failed: return Outcome::write_failure;
    }
    unreachable();
}

Outcome convert_wave(ConversionState& state, AuxiRecord& record) {
    Outcome outcome = copy_wave_header(state, record);
    if (outcome == Outcome::success) {
        outcome = walk_chunks(state, record);
    }
    // A header error names where the input ended or which value failed its
    // check. A read that failed with an I/O error (a failing disk, a stick
    // pulled out, a network file system that dropped) is not the end of the
    // input, wherever it happened.
    if (outcome == Outcome::header_error && std::ferror(state.input) != 0) {
        outcome = Outcome::read_failure;
    }
    // The output is closed here, so a full disk is a write failure and not a
    // quiet success or a quiet half-written header.
    switch (outcome) {
        case Outcome::success: return finish_output(state) ? Outcome::success : Outcome::write_failure;
        case Outcome::header_error:
            return close_output(state) ? Outcome::header_error : Outcome::write_failure;
        case Outcome::write_failure:
        case Outcome::read_failure: (void)close_output(state); return outcome;
    }
    unreachable();
}

#include <cstring>

#include "wave/conversion.hpp"
#include "wave/header_errors.hpp"
#include "wave/little_endian.hpp"

namespace {

// The 14 bytes from wFormatTag to nBlockAlign; the rest of "fmt " is the tail.
constexpr std::uint32_t fmt_fields_bytes = 14;
constexpr std::uint16_t format_pcm = 1;
constexpr std::uint16_t format_ieee_float = 3;

// Reads one field; on failure records `code` as the header error.
bool read_field(ConversionState& state, std::uint8_t* unit, std::size_t size, int code) {
    if (read_unit(state, unit, size)) {
        return true;
    }
    state.header_error = code;
    return false;
}

Outcome header_error(ConversionState& state, int code) {
    state.header_error = code;
    return Outcome::header_error;
}

// nBlockAlign / nChannels decides the sample width; each width is accepted
// for exactly one format tag. Returns 0 when accepted, else the error code.
int block_align_error(std::int16_t block_align, std::int16_t channels, std::uint16_t format) {
    using namespace header_code;
    switch (block_align / channels) {
        case 1: return format == format_pcm ? 0 : one_byte_not_pcm;
        case 2: return format == format_pcm ? 0 : two_bytes_not_pcm;
        case 3: return format == format_pcm ? 0 : three_bytes_not_pcm;
        case 4: return format == format_ieee_float ? 0 : four_bytes_not_float;
        default: return bad_block_align;
    }
}

}  // namespace

Outcome copy_wave_header(ConversionState& state, AuxiRecord& record) {
    using namespace header_code;
    std::uint8_t riff[4];
    if (!read_field(state, riff, 4, empty_input)) return Outcome::header_error;
    if (std::memcmp(riff, "RIFF", 4) != 0) return header_error(state, not_riff);
    if (!write_unit(state, riff, 4)) return Outcome::write_failure;

    std::uint8_t riff_size[4];
    if (!read_field(state, riff_size, 4, not_wave)) return Outcome::header_error;
    state.riff_size = load_u32(riff_size);
    if (!write_unit(state, riff_size, 4)) return Outcome::write_failure;

    std::uint8_t wave[4];
    if (!read_field(state, wave, 4, not_wave)) return Outcome::header_error;
    if (std::memcmp(wave, "WAVE", 4) != 0) return header_error(state, not_wave);
    if (!write_unit(state, wave, 4)) return Outcome::write_failure;

    std::uint8_t fmt[4];
    if (!read_field(state, fmt, 4, no_fmt_chunk)) return Outcome::header_error;
    if (std::memcmp(fmt, "fmt ", 4) != 0) return header_error(state, no_fmt_chunk);
    if (!write_unit(state, fmt, 4)) return Outcome::write_failure;

    std::uint8_t fmt_size[4];
    if (!read_field(state, fmt_size, 4, no_fmt_size)) return Outcome::header_error;
    if (!write_unit(state, fmt_size, 4)) return Outcome::write_failure;
    state.fmt_size = load_u32(fmt_size);
    state.fmt_remaining = state.fmt_size;

    std::uint8_t tag[2];
    const bool tag_read = read_unit(state, tag, 2);
    const std::uint16_t format = tag_read ? load_u16(tag) : 0;
    if (format != format_pcm && format != format_ieee_float) return header_error(state, unknown_format_tag);
    if (!write_unit(state, tag, 2)) return Outcome::write_failure;

    std::uint8_t channels_field[2];
    if (!read_field(state, channels_field, 2, bad_channel_count)) return Outcome::header_error;
    const auto channels = static_cast<std::int16_t>(load_u16(channels_field));
    if (channels < 1 || channels > 2) return header_error(state, bad_channel_count);
    if (!write_unit(state, channels_field, 2)) return Outcome::write_failure;

    std::uint8_t rate[4];
    if (!read_field(state, rate, 4, no_sample_rate)) return Outcome::header_error;
    record.sample_rate = load_u32(rate);
    if (!write_unit(state, rate, 4)) return Outcome::write_failure;

    std::uint8_t avg_rate[4];
    if (!read_field(state, avg_rate, 4, no_byte_rate)) return Outcome::header_error;
    state.avg_bytes_per_sec = load_u32(avg_rate);
    if (!write_unit(state, avg_rate, 4)) return Outcome::write_failure;

    std::uint8_t align_field[2];
    if (!read_field(state, align_field, 2, bad_block_align)) return Outcome::header_error;
    state.block_align = static_cast<std::int16_t>(load_u16(align_field));
    if (const int code = block_align_error(state.block_align, channels, format)) {
        return header_error(state, code);
    }
    if (!write_unit(state, align_field, 2)) return Outcome::write_failure;

    // The tail (wBitsPerSample, cbSize, extensions) is copied unexamined. A
    // fmt size below 14 wraps to nearly 4 GiB: the copy then runs to the end of
    // an input that ends sooner (header error 11), and a longer one goes on
    // to its chunks after that many bytes.
    state.fmt_remaining -= fmt_fields_bytes;
    switch (copy_bytes(state, state.fmt_remaining)) {
        case Transfer::done: break;
        case Transfer::write_failed: return Outcome::write_failure;
        case Transfer::input_ended:
        case Transfer::input_error: return header_error(state, fmt_cut_short);
    }
    return Outcome::success;
}

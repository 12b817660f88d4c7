#include "wave/stream.hpp"

#include "wave/little_endian.hpp"

#include <system_error>

std::filesystem::path file_path(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

bool read_unit(ConversionState& state, void* unit, std::size_t size) {
    return std::fread(unit, 1, size, state.input) == size;
}

bool write_unit(ConversionState& state, const void* unit, std::size_t size) {
    return std::fwrite(unit, 1, size, state.output) == size;
}

namespace {

constexpr std::size_t block_bytes = std::size_t{1} << 20;
constexpr std::size_t stream_buffer_bytes = std::size_t{64} << 10;
constexpr long riff_size_offset = 4;

// One fixed block for every bulk transfer and one buffer per stream: memory
// does not grow with the input.
unsigned char block[block_bytes];
char input_buffer[stream_buffer_bytes];
char output_buffer[stream_buffer_bytes];

Transfer move_bytes(ConversionState& state, std::uint64_t count, bool keep) {
    while (count > 0) {
        const std::size_t want = count < block_bytes ? static_cast<std::size_t>(count) : block_bytes;
        const std::size_t got = std::fread(block, 1, want, state.input);
        if (keep && got > 0 && std::fwrite(block, 1, got, state.output) != got) {
            return Transfer::write_failed;
        }
        if (got < want) {
            return std::ferror(state.input) ? Transfer::input_error : Transfer::input_ended;
        }
        count -= got;
    }
    return Transfer::done;
}

// Readers that trust the RIFF size see every byte only if it is the truth;
// a length past 32 bits keeps the field as it was copied.
bool correct_riff_size(ConversionState& state) {
    std::error_code error;
    const std::uintmax_t length = std::filesystem::file_size(file_path(state.output_name), error);
    if (error || length < 8 || length - 8 > UINT32_MAX) {
        return true;
    }
    std::uint8_t field[4];
    store_u32(field, static_cast<std::uint32_t>(length - 8));
    return std::fseek(state.output, riff_size_offset, SEEK_SET) == 0 && write_unit(state, field, sizeof field);
}

}  // namespace

Transfer copy_bytes(ConversionState& state, std::uint64_t count) { return move_bytes(state, count, true); }

Transfer skip_bytes(ConversionState& state, std::uint64_t count) { return move_bytes(state, count, false); }

void set_stream_buffers(ConversionState& state) {
    // A failed setvbuf leaves the default buffer, which still works.
    (void)std::setvbuf(state.input, input_buffer, _IOFBF, stream_buffer_bytes);
    (void)std::setvbuf(state.output, output_buffer, _IOFBF, stream_buffer_bytes);
}

bool finish_output(ConversionState& state) {
    const bool flushed = std::fflush(state.output) == 0;
    const bool corrected = flushed && (!state.output_is_regular_file || correct_riff_size(state));
    return close_output(state) && corrected;
}

bool close_output(ConversionState& state) {
    const bool flushed = std::fflush(state.output) == 0;
    const bool closed = std::fclose(state.output) == 0;
    state.output = nullptr;
    return flushed && closed;
}

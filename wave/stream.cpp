#include "wave/stream.hpp"

#include "wave/little_endian.hpp"

bool read_unit(ConversionState& state, void* unit, std::size_t size) {
    return std::fread(unit, 1, size, state.input) == size;
}

bool write_unit(ConversionState& state, const void* unit, std::size_t size) {
    const std::size_t written = std::fwrite(unit, 1, size, state.output);
    state.bytes_written += written;
    return written == size;
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
        if (keep && got > 0 && !write_unit(state, block, got)) {
            return Transfer::write_failed;
        }
        if (got < want) {
            return std::ferror(state.input) != 0 ? Transfer::input_error : Transfer::input_ended;
        }
        count -= got;
    }
    return Transfer::done;
}

}  // namespace

Transfer copy_bytes(ConversionState& state, std::uint64_t count) { return move_bytes(state, count, true); }

Transfer skip_bytes(ConversionState& state, std::uint64_t count) { return move_bytes(state, count, false); }

void set_stream_buffers(ConversionState& state) {
    // A failed setvbuf leaves the default buffer, which still works.
    (void)std::setvbuf(state.input, input_buffer, _IOFBF, stream_buffer_bytes);
    (void)std::setvbuf(state.output, output_buffer, _IOFBF, stream_buffer_bytes);
}

std::uint32_t riff_size_for(std::uint64_t length, std::uint32_t input_riff_size) {
    return length >= 8 && length - 8 <= UINT32_MAX ? static_cast<std::uint32_t>(length - 8) : input_riff_size;
}

// Readers that trust the RIFF size see every byte only if it is the truth.
// The length is the count of bytes written, not the file system's idea of the
// size of a file that is still open.
bool finish_output(ConversionState& state) {
    bool written = true;
    if (state.output_is_regular_file) {
        std::uint8_t field[4];
        store_u32(field, riff_size_for(state.bytes_written, state.riff_size));
        // The seek flushes what is buffered; a failure there is a write failure.
        written = std::fseek(state.output, riff_size_offset, SEEK_SET) == 0 &&
                  write_unit(state, field, sizeof field);
    }
    return close_output(state) && written;
}

bool close_output(ConversionState& state) {
    // A write that failed earlier leaves the error indicator set even when a
    // later flush succeeds; fclose reports the last flush itself.
    const bool intact = std::ferror(state.output) == 0;
    const bool closed = std::fclose(state.output) == 0;
    state.output = nullptr;
    return intact && closed;
}

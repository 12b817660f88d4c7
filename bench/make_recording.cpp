// Writes a 16-bit stereo PCM recording as a receiver would: "fmt ", a "LIST"
// chunk, a "rcvr" chunk with the tuned frequency, an optional "JUNK" chunk of
// a given size, then "data".
//
//   make_recording OUTPUT DATA_BYTES [JUNK_BYTES]
//
// Exit status 0 when the file was written whole, 1 otherwise.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t sample_rate = 48'000;
constexpr std::uint16_t channels = 2;
constexpr std::uint16_t bits = 16;
constexpr std::uint16_t block_align = channels * bits / 8;
constexpr std::uint32_t tuned_frequency = 145'800'000;
constexpr std::size_t block_bytes = std::size_t{1} << 20;

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void put_id(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

bool parse_size(const char* text, std::uint64_t& value) {
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || text[0] == '-') return false;
    value = parsed;
    return true;
}

// A 1 kHz tone on the left, 1.5 kHz on the right: recognisable in any editor.
std::vector<std::uint8_t> tone_block() {
    std::vector<std::uint8_t> block;
    block.reserve(block_bytes);
    const double two_pi = 6.283185307179586;
    for (std::size_t frame = 0; block.size() < block_bytes; ++frame) {
        const double t = static_cast<double>(frame % sample_rate) / sample_rate;
        for (double hz : {1000.0, 1500.0}) {
            const auto s = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(two_pi * hz * t)));
            put(block, static_cast<std::uint16_t>(s), 2);
        }
    }
    return block;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t data_bytes = 0;
    std::uint64_t junk_bytes = 0;
    if ((argc != 3 && argc != 4) || !parse_size(argv[2], data_bytes) ||
        (argc == 4 && !parse_size(argv[3], junk_bytes)) || data_bytes > UINT32_MAX ||
        junk_bytes > UINT32_MAX) {
        std::puts("usage: make_recording OUTPUT DATA_BYTES [JUNK_BYTES]");
        return 1;
    }
    const std::string info = "kordimalen sample";  // 18 bytes with its NUL: no pad byte
    std::vector<std::uint8_t> head;
    put_id(head, "RIFF");
    put(head, 0, 4);  // set below, once the total is known
    put_id(head, "WAVE");
    put_id(head, "fmt ");
    put(head, 16, 4);
    put(head, 1, 2);
    put(head, channels, 2);
    put(head, sample_rate, 4);
    put(head, sample_rate * block_align, 4);
    put(head, block_align, 2);
    put(head, bits, 2);
    put_id(head, "LIST");
    const auto info_size = static_cast<std::uint32_t>(4 + 8 + info.size() + 1);
    put(head, info_size, 4);
    put_id(head, "INFO");
    put_id(head, "ISFT");
    put(head, static_cast<std::uint32_t>(info.size() + 1), 4);
    head.insert(head.end(), info.begin(), info.end());
    head.push_back(0);
    if (info_size % 2 != 0) head.push_back(0);
    put_id(head, "rcvr");
    put(head, 4, 4);
    put(head, tuned_frequency, 4);
    if (junk_bytes > 0) {
        put_id(head, "JUNK");
        put(head, static_cast<std::uint32_t>(junk_bytes), 4);
    }
    const std::uint64_t junk_padded = junk_bytes + (junk_bytes % 2);
    const std::uint64_t riff_size = head.size() - 8 + junk_padded + 8 + data_bytes;
    const std::uint32_t riff_field =
        riff_size > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(riff_size);
    for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<std::uint8_t>(riff_field >> (8 * i));

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::printf("cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
    const std::vector<std::uint8_t> zeros(block_bytes, 0);
    for (std::uint64_t left = junk_padded; ok && left > 0;) {
        const std::size_t n = left < block_bytes ? static_cast<std::size_t>(left) : block_bytes;
        ok = std::fwrite(zeros.data(), 1, n, out) == n;
        left -= n;
    }
    std::vector<std::uint8_t> data_head;
    put_id(data_head, "data");
    put(data_head, static_cast<std::uint32_t>(data_bytes), 4);
    ok = ok && std::fwrite(data_head.data(), 1, data_head.size(), out) == data_head.size();
    const std::vector<std::uint8_t> tone = tone_block();
    for (std::uint64_t left = data_bytes; ok && left > 0;) {
        const std::size_t n = left < block_bytes ? static_cast<std::size_t>(left) : block_bytes;
        ok = std::fwrite(tone.data(), 1, n, out) == n;
        left -= n;
    }
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        std::printf("failed to write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// libFuzzer target over the whole conversion pass. Besides "no crash" (run it
// with the sanitizers) it checks what the output must be:
// - after a header error, a byte-for-byte prefix of the input;
// - after success, the input's RIFF header and "fmt " chunk (with its pad
//   byte) with the RIFF size set to the output's length - 8, a 76-byte "auxi"
//   chunk of size 68, then "data", the input's data size and every remaining
//   input byte;
// - never a read or write failure (the input is memory, the output a file).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "auxi/auxi_record.hpp"
#include "wave/conversion.hpp"
#include "wave/little_endian.hpp"

namespace {

std::string output_path;

void require(bool property, const char* what) {
    if (!property) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

std::vector<std::uint8_t> read_back(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    require(f != nullptr, "output can be read back");
    std::uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

bool same(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

void check_success(const std::uint8_t* in, std::size_t in_size, const std::vector<std::uint8_t>& out) {
    require(in_size >= 20 && out.size() >= 20, "a converted input has a fmt size");
    const std::uint32_t fmt_size = load_u32(in + 16);
    std::uint64_t head = 20 + std::uint64_t{fmt_size};
    if ((fmt_size & 1) != 0 && in_size > head && in[head] == 0) ++head;  // the pad goes with "fmt "
    const std::uint64_t data_header = head + auxi_chunk_bytes;
    require(out.size() >= data_header + 8 && in_size >= head + 8,
            "output holds header, auxi and data header");
    require(same(out.data(), in, 4) && same(out.data() + 8, in + 8, head - 8), "header and fmt copied");
    require(load_u32(out.data() + 4) == static_cast<std::uint32_t>(out.size() - 8),
            "RIFF size is length - 8");
    require(same(out.data() + head, reinterpret_cast<const std::uint8_t*>("auxi"), 4) &&
                load_u32(out.data() + head + 4) == 68,
            "auxi chunk with size 68");
    require(load_u32(out.data() + head + 52) == load_u32(in + 24), "auxi sample rate is nSamplesPerSec");
    const std::size_t rest = out.size() - data_header - 8;
    require(in_size >= head + 8 + rest, "remaining bytes come from the input");
    const std::uint8_t* in_data = in + in_size - rest - 8;
    require(same(out.data() + data_header, reinterpret_cast<const std::uint8_t*>("data"), 4) &&
                same(in_data, out.data() + data_header, 8),
            "data ID and size copied from the input");
    require(same(in + in_size - rest, out.data() + data_header + 8, rest),
            "every byte after the data size copied");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // "Unknown wFormatTag." goes to standard output; keep the fuzzer's clean.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    const std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    output_path = (dir / ("kordimalen-fuzz-" + std::to_string(getpid()) + ".wav")).string();
    std::atexit([] { std::remove(output_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ConversionState state;
    state.input =
        size > 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : std::fopen("/dev/null", "rb");
    state.output = std::fopen(output_path.c_str(), "wb");
    require(state.input != nullptr && state.output != nullptr, "streams open");
    state.output_is_regular_file = true;
    AuxiRecord record;
    auxi_set_defaults(record);

    const Outcome outcome = convert_wave(state, record);
    std::fclose(state.input);
    const std::vector<std::uint8_t> out = read_back(output_path);
    switch (outcome) {
        case Outcome::header_error:
            require((state.header_error >= 0 && state.header_error <= 13) || state.header_error == 25,
                    "header error code is 0 to 13 or 25");
            require(out.size() <= size && same(out.data(), data, out.size()),
                    "output is a prefix of the input");
            break;
        case Outcome::success: check_success(data, size, out); break;
        case Outcome::write_failure:
        case Outcome::read_failure: require(false, "no read or write failure on memory input"); break;
    }
    return 0;
}

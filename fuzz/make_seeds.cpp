// Writes the fuzzer's seed corpus: small recordings of every accepted format
// and the chunk layouts the converter handles, built with the test builders.
//
//   make_seeds OUTPUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../tests/wave_bytes.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::puts("usage: make_seeds OUTPUT_DIR");
        return 1;
    }
    auto format = [](std::uint16_t tag, std::int16_t channels, std::int16_t align, Bytes tail) {
        Format f;
        f.tag = tag;
        f.channels = channels;
        f.block_align = align;
        f.avg_rate = 8000u * static_cast<std::uint32_t>(align);
        f.rate = 8000;
        f.tail = std::move(tail);
        return f;
    };
    const Bytes samples{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    const std::vector<std::pair<std::string, Bytes>> seeds{
        {"pcm8-mono", wave_file(format(1, 1, 1, le16(8)), {chunk("data", samples)})},
        {"pcm16-stereo-rcvr",
         wave_file(format(1, 2, 4, le16(16)), {chunk("rcvr", le32(145800000)), chunk("data", samples)})},
        {"pcm24-stereo-list", wave_file(format(1, 2, 6, le16(24)), {chunk("LIST", text("INFOISFTx")),
                                                                    Bytes{0}, chunk("data", samples)})},
        {"float-mono-fact", wave_file(format(3, 1, 4, cat({le16(32), le16(0)})),
                                      {chunk("fact", le32(3)), chunk("data", samples)})},
        {"float-stereo-rcvr-odd",
         wave_file(format(3, 2, 8, le16(32)), {chunk("rcvr", Bytes{1, 2, 3}), chunk("data", samples)})},
        {"extensible",
         wave_file(format(0xFFFE, 2, 4, cat({le16(16), le16(22), Bytes(22, 0)})), {chunk("data", samples)})},
        {"fmt-odd-pad", wave_file(format(1, 2, 4, Bytes{16, 0, 9}), {Bytes{0}, chunk("data", samples)})},
        {"fmt-size-10", cat({riff_header(40), text("fmt "), le32(10), fmt_body(format(1, 1, 2, {})),
                             chunk("data", samples)})},
        {"two-rcvr-junk",
         wave_file(format(1, 1, 2, le16(16)), {chunk("rcvr", le32(1)), chunk("JUNK", Bytes(9, 0)), Bytes{0},
                                               chunk("rcvr", Bytes{5, 6}), chunk("data", samples)})},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream file(std::filesystem::path(argv[1]) / (name + ".wav"), std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::printf("cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}

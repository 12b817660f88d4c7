// End-to-end: the chunks after "fmt ": the receiver frequency, the dropped
// chunks and their pad bytes, the stop time and the sample data.
#include <gtest/gtest.h>

#include <fstream>

#include "program_runner.hpp"
#include "wave/stream.hpp"

namespace {

namespace fs = std::filesystem;
using case_names::PrintTo;

constexpr std::size_t fmt_end = 36;

struct ChunkCase {
    const char* name;
    InputBytes between;  // everything between the "fmt " chunk and "data"
    std::uint32_t receiver;
};

class ChunksBeforeData : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunksBeforeData, AreDroppedAndSetTheReceiverFrequency) {
    const ChunkCase& c = GetParam();
    const Bytes input =
        wave_file(Format{}, {c.between.bytes(), chunk("data", Bytes{1, 2, 3, 4, 5, 6, 7, 8})});
    ScratchDir dir;
    EXPECT_TRUE(succeeded(convert_file(dir, "sim.wav", input), "sim.wav"));
    EXPECT_BYTES_EQ(
        read_file(dir / "kordimalen-sim.wav"),
        expected_output(input, fmt_end, auxi_chunk(c.receiver, 48000, 8, 1, 1), input.size() - 16));
}

INSTANTIATE_TEST_SUITE_P(
    Receiver, ChunksBeforeData,
    ::testing::Values(
        ChunkCase{"None", {}, 10000000}, ChunkCase{"Size4", chunk("rcvr", le32(145800000)), 145800000},
        ChunkCase{"Size0ReplacesTheDefaultWithZero", chunk("rcvr", {}), 0},
        ChunkCase{"Size2SetsTheLowBytes", chunk("rcvr", Bytes{0x34, 0x12}), 0x1234},
        ChunkCase{"Size8UsesTheFirstFour", chunk("rcvr", cat({le32(7000000), le32(99)})), 7000000},
        ChunkCase{"Size3WithPad", cat({chunk("rcvr", Bytes{1, 2, 3}), {0}}), 0x030201},
        ChunkCase{"Size3WithoutPad", chunk("rcvr", Bytes{1, 2, 3}), 0x030201},
        ChunkCase{"LaterChunkWins", cat({chunk("rcvr", le32(1)), chunk("rcvr", le32(2))}), 2},
        ChunkCase{"ShortLaterChunkKeepsHighBytes",
                  cat({chunk("rcvr", le32(0xAABBCCDD)), chunk("rcvr", Bytes{0x22, 0x11})}), 0xAABB1122},
        ChunkCase{"EmptyLaterChunkKeepsAll", cat({chunk("rcvr", le32(0xAABBCCDD)), chunk("rcvr", {})}),
                  0xAABBCCDD},
        ChunkCase{"RcvrIdIsCaseSensitive", chunk("RCVR", le32(5)), 10000000},
        ChunkCase{"RcvdIsNotRcvr", chunk("rcvd", le32(5)), 10000000}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Skipped, ChunksBeforeData,
    ::testing::Values(ChunkCase{"List", chunk("LIST", text("INFOISFT")), 10000000},
                      ChunkCase{"OddWithPad", cat({chunk("LIST", text("INFOabc")), {0}}), 10000000},
                      ChunkCase{"OddWithoutPad", chunk("LIST", text("INFOabc")), 10000000},
                      ChunkCase{"EmptyChunk", chunk("JUNK", {}), 10000000},
                      ChunkCase{"DateIsNotData", chunk("date", le32(5)), 10000000},
                      ChunkCase{"DatAIsNotData", chunk("datA", le32(5)), 10000000},
                      ChunkCase{"SeveralAroundRcvr",
                                cat({chunk("JUNK", Bytes(1000, 0)),
                                     chunk("rcvr", le32(433920000)),
                                     chunk("fact", le32(2)),
                                     chunk("LIST", Bytes(5, 'x')),
                                     {0}}),
                                433920000},
                      ChunkCase{"LargeSkippedChunk", [] { return chunk("JUNK", Bytes(3 << 20, 7)); },
                                10000000}),
    [](const auto& info) { return std::string(info.param.name); });

struct DataCase {
    const char* name;
    InputBytes after_data_size;  // every byte after the data chunk's size field
};

class AfterDataSize : public ::testing::TestWithParam<DataCase> {};

TEST_P(AfterDataSize, EveryByteIsCopied) {
    const Bytes rest = GetParam().after_data_size.bytes();
    const Bytes input = cat({wave_file(Format{}, {chunk("rcvr", le32(5))}), text("data"), le32(12), rest});
    ScratchDir dir;
    EXPECT_TRUE(succeeded(convert_file(dir, "sim.wav", input), "sim.wav"));
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-sim.wav"),
                    expected_output(input, fmt_end, auxi_chunk(5, 48000, 8, 1, 1), fmt_end + 12));
}

Bytes counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, AfterDataSize,
    ::testing::Values(DataCase{"Nothing", {}}, DataCase{"OneByte", counting(1)},
                      DataCase{"TwoBytes", counting(2)}, DataCase{"ThreeKPlusOne", counting(3001)},
                      DataCase{"ThreeKPlusTwo", counting(3002)},
                      DataCase{"MoreThanTheSizeClaims", counting(100)},
                      DataCase{"TextModeBytesStayAsTheyAre",
                               Bytes{'\n', '\r', '\n', 0x1A, '\r', 0, '\n', 0x1A, 0x1A}},
                      DataCase{"ChunksAfterDataAreSamples",
                               cat({counting(12), chunk("rcvr", le32(9)), chunk("LIST", Bytes(3, 1))})},
                      DataCase{"SeveralBlocks", [] { return counting((5 << 20) + 3); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
    const char* name;
    std::uint32_t avg_rate;
    std::uint32_t rate;
    std::uint32_t data_size;
    std::uint16_t hour, minute, second;
};

class StopTimeFromHeader : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopTimeFromHeader, ComesFromTheDataSize) {
    const StopCase& c = GetParam();
    Format f;
    f.avg_rate = c.avg_rate;
    f.rate = c.rate;
    const Bytes input = cat({wave_file(f, {}), text("data"), le32(c.data_size), Bytes{1, 2, 3, 4}});
    ScratchDir dir;
    EXPECT_TRUE(succeeded(convert_file(dir, "sim.wav", input), "sim.wav"));
    EXPECT_BYTES_EQ(
        read_file(dir / "kordimalen-sim.wav"),
        expected_output(input, fmt_end, auxi_chunk(10000000, c.rate, c.hour, c.minute, c.second), fmt_end));
}

INSTANTIATE_TEST_SUITE_P(Durations, StopTimeFromHeader,
                         ::testing::Values(StopCase{"ShorterThanASecond", 192000, 48000, 191999, 8, 1, 1},
                                           StopCase{"FiftyNineSeconds", 192000, 48000, 59 * 192000, 8, 2, 0},
                                           StopCase{"HourLessASecond", 1000, 250, 3599000, 9, 1, 0},
                                           StopCase{"PastMidnight", 1000, 250, 57539000, 24, 0, 0},
                                           StopCase{"NoAvgRateUsesRateTimesAlign", 0, 48000, 59 * 192000, 8,
                                                    2, 0},
                                           StopCase{"NoRatesAtAll", 0, 0, 1000000, 8, 1, 1},
                                           // 4 * (2^30 + 1) bytes a second: the rate passes 32 bits.
                                           StopCase{"NoAvgRateAndRateTimesAlignPast32Bits", 0, (1u << 30) + 1,
                                                    UINT32_MAX, 8, 1, 1},
                                           StopCase{"AbsurdDurationIsHeld", 1, 1, UINT32_MAX, 65535, 59, 59}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RiffSize, IsCorrectedWhateverTheInputClaimed) {
    Bytes input = wave_file(Format{}, {chunk("LIST", Bytes(40, 0)), chunk("data", Bytes(6, 3))});
    const Bytes zero = le32(0);
    std::copy(zero.begin(), zero.end(), input.begin() + 4);
    ScratchDir dir;
    ASSERT_TRUE(succeeded(convert_file(dir, "sim.wav", input), "sim.wav"));
    const Bytes out = read_file(dir / "kordimalen-sim.wav");
    ASSERT_EQ(out.size(), fmt_end + 76 + 8 + 6);
    EXPECT_EQ(slice(out, 4, 8), le32(static_cast<std::uint32_t>(out.size() - 8)));
    EXPECT_EQ(slice(out, out.size() - 10, out.size() - 6), le32(6));  // data size unchanged
}

// 32-bit systems handle files past 2 GiB only with large-file support. The
// input is sparse: a header, marked bytes around both the input's and the
// output's 2 GiB boundary, and a marked end. The output is written whole, so
// a small temporary folder (a RAM-backed /tmp) skips the test.
TEST(RiffSize, IsTrueForARecordingPast2GiB) {
    constexpr std::uint64_t two_gib = std::uint64_t{1} << 31;
    constexpr std::uint64_t length = two_gib + 4096;
    constexpr std::uint64_t needed = length + 76 + (std::uint64_t{1} << 20);  // the input's blocks too
    ScratchDir dir;
    if (const std::uint64_t space = fs::space(dir.path()).available; space < needed)
        GTEST_SKIP() << "needs " << (needed >> 20) << " MiB free in the temporary folder, which has "
                     << (space >> 20) << " MiB";
    constexpr std::uint64_t marked_from = two_gib - 200;
    Bytes marks(256);
    for (std::size_t i = 0; i < marks.size(); ++i) marks[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const Bytes end = text("last");
    const Bytes header =
        cat({wave_file(Format{}, {}), text("data"), le32(std::uint32_t{length - fmt_end - 8})});
    {
        std::ofstream input(dir / "long.wav", std::ios::binary);
        const auto put = [&](std::uint64_t at, const Bytes& bytes) {
            input.seekp(static_cast<std::streamoff>(at));
            input.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        };
        put(0, header);
        put(marked_from, marks);
        put(length - end.size(), end);
        ASSERT_TRUE(input.good());
    }
    ASSERT_TRUE(succeeded(run_converter(dir, {"long.wav"}), "long.wav"));

    const std::uint64_t output_length = length + 76;
    ASSERT_EQ(fs::file_size(dir / "kordimalen-long.wav"), output_length);
    std::ifstream output(dir / "kordimalen-long.wav", std::ios::binary);
    const auto get = [&](std::uint64_t at, std::size_t size) {
        Bytes bytes(size);
        output.seekg(static_cast<std::streamoff>(at));
        output.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
        return bytes;
    };
    EXPECT_BYTES_EQ(
        get(0, header.size() + 76),
        cat({slice(header, 0, 4), le32(std::uint32_t{output_length - 8}), slice(header, 8, fmt_end),
             auxi_chunk(10000000, 48000, 11, 7, 25), slice(header, fmt_end, header.size())}));
    EXPECT_BYTES_EQ(get(marked_from + 76, marks.size()), marks);
    EXPECT_BYTES_EQ(get(output_length - end.size(), end.size()), end);
    EXPECT_TRUE(output.good());
}

// Memory does not grow with the recording: converting 256 MiB takes no more
// than a few MiB above what a tiny recording takes. The input is sparse; the
// output is written whole.
TEST(Memory, IsFixedWhateverTheSizeOfTheRecording) {
#ifndef KORDIMALEN_CAN_MEASURE_MEMORY
    GTEST_SKIP() << "the program's peak memory cannot be measured here";
#else
    constexpr std::uint64_t length = std::uint64_t{256} << 20;
    constexpr long allowed_growth_kib = 4 << 10;
    ScratchDir dir;
    if (const std::uint64_t space = fs::space(dir.path()).available; space < 2 * length)
        GTEST_SKIP() << "needs " << (2 * length >> 20) << " MiB free in the temporary folder, which has "
                     << (space >> 20) << " MiB";
    const Bytes header =
        cat({wave_file(Format{}, {}), text("data"), le32(std::uint32_t{length - fmt_end - 8})});
    write_file(dir / "tiny.wav", cat({header, Bytes(6)}));
    {
        std::ofstream input(dir / "large.wav", std::ios::binary);
        input.write(reinterpret_cast<const char*>(header.data()),
                    static_cast<std::streamsize>(header.size()));
        input.seekp(static_cast<std::streamoff>(length - 1));
        input.put('\0');
        ASSERT_TRUE(input.good());
    }
    // Each run from a small process of its own, which reads its peak.
    const auto peak_kib = [&](const std::string& name) {
        const std::string figure = (dir / (name + ".kib")).string();
        EXPECT_TRUE(succeeded(
            run_converter(dir, {figure, KORDIMALEN_EXE, name}, {.program = KORDIMALEN_PEAK_MEMORY_EXE}),
            name));
        const Bytes text = read_file(figure);
        return std::stol(std::string(text.begin(), text.end()));
    };
    const long tiny = peak_kib("tiny.wav");
    const long large = peak_kib("large.wav");
    ASSERT_EQ(fs::file_size(dir / "kordimalen-large.wav"), length + 76);
    EXPECT_LE(large, tiny + allowed_growth_kib) << "a tiny recording takes " << tiny << " KiB";
#endif
}

TEST(RiffSize, IsTheLengthLess8WhileThatFits32Bits) {
    constexpr std::uint64_t four_gib = std::uint64_t{1} << 32;
    struct Case {
        std::uint64_t length;
        std::uint32_t expected;
    };
    for (const Case& c : {Case{8, 0}, Case{184, 176}, Case{four_gib + 7, UINT32_MAX},
                          Case{four_gib + 8, 1234}, Case{UINT64_MAX, 1234}}) {
        EXPECT_EQ(riff_size_for(c.length, 1234), c.expected) << c.length;
    }
}

}  // namespace

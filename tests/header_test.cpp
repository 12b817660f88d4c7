// End-to-end: the header checks, their error codes, and what the output holds
// when a check stops the conversion.
#include <gtest/gtest.h>

#include "program_runner.hpp"

namespace {

using case_names::PrintTo;

constexpr std::size_t fmt_end = 36;  // RIFF header + "fmt " chunk of size 16

Format pcm(std::uint16_t tag, std::int16_t channels, std::int16_t block_align, Bytes tail = le16(16)) {
    Format f;
    f.tag = tag;
    f.channels = channels;
    f.block_align = block_align;
    f.avg_rate = 48000u * static_cast<std::uint32_t>(block_align);
    f.tail = std::move(tail);
    return f;
}

struct Accepted {
    const char* name;
    Format format;
    Bytes fmt_pad = {};  // copied with an odd "fmt " chunk
};

class AcceptedFormat : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedFormat, ConvertsByteExact) {
    const Format& f = GetParam().format;
    const Bytes samples{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes input = wave_file(f, {GetParam().fmt_pad, chunk("data", samples)});
    const std::size_t header_end = 20 + 14 + f.tail.size() + GetParam().fmt_pad.size();
    ScratchDir dir;
    EXPECT_TRUE(succeeded(convert_file(dir, "in.wav", input), "in.wav"));
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-in.wav"),
                    expected_output(input, header_end, auxi_chunk(10000000, 48000, 8, 1, 1), header_end));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AcceptedFormat,
    ::testing::Values(Accepted{"Pcm8Mono", pcm(1, 1, 1)}, Accepted{"Pcm8Stereo", pcm(1, 2, 2)},
                      Accepted{"Pcm16Mono", pcm(1, 1, 2)}, Accepted{"Pcm16Stereo", pcm(1, 2, 4)},
                      Accepted{"Pcm24Mono", pcm(1, 1, 3)}, Accepted{"Pcm24Stereo", pcm(1, 2, 6)},
                      Accepted{"FloatMono", pcm(3, 1, 4)}, Accepted{"FloatStereo", pcm(3, 2, 8)},
                      Accepted{"OddAlignRoundsDown", pcm(1, 2, 3)},
                      Accepted{"FmtSize14NoTail", pcm(1, 2, 4, {})},
                      Accepted{"FmtSize18WithCbSize", pcm(1, 2, 4, cat({le16(16), le16(0)}))},
                      Accepted{"FmtOddWithoutPad", pcm(1, 2, 4, Bytes{16, 0, 9})},
                      Accepted{"FmtOddWithPad", pcm(1, 2, 4, Bytes{16, 0, 9}), {0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Rejected {
    const char* name;
    Bytes input;
    int code;
    std::size_t output_bytes;  // the input's first bytes that reached the output
};

Bytes fmt_file(const Format& f) { return wave_file(f, {chunk("data", Bytes(8, 1))}); }

class HeaderError : public ::testing::TestWithParam<Rejected> {};

TEST_P(HeaderError, StopsWithItsCodeAndKeepsWhatWasWritten) {
    const Rejected& c = GetParam();
    ScratchDir dir;
    const RunResult r = convert_file(dir, "in.wav", c.input);
    const std::string prefix = c.code == 5 ? "Unknown wFormatTag." : "";
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out,
              banner("in.wav") + prefix + "Error in .wav file header [" + std::to_string(c.code) + "]");
    EXPECT_EQ(r.err, "");
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-in.wav"), slice(c.input, 0, c.output_bytes));
}

Bytes with_fmt_size(std::uint32_t size) {
    return cat({riff_header(100), text("fmt "), le32(size), fmt_body(pcm(1, 2, 4)), text("data"), le32(4),
                Bytes{1, 2, 3}});
}

INSTANTIATE_TEST_SUITE_P(
    Codes, HeaderError,
    ::testing::Values(
        Rejected{"Empty", {}, 0, 0}, Rejected{"Rifx", cat({text("RIFX"), le32(4), text("WAVE")}), 1, 0},
        Rejected{"OnlyRiff", text("RIFF"), 2, 4},
        Rejected{"NotWave", cat({text("RIFF"), le32(4), text("AVI ")}), 2, 8},
        Rejected{"JunkBeforeFmt",
                 cat({riff_header(40), chunk("JUNK", Bytes(4, 0)), chunk("fmt ", fmt_body(pcm(1, 2, 4)))}), 3,
                 12},
        Rejected{"FmtIdDiffersInItsLastByte", cat({riff_header(40), chunk("fmtX", fmt_body(pcm(1, 2, 4)))}),
                 3, 12},
        Rejected{"FmtSizeCut", cat({riff_header(40), text("fmt "), Bytes{16, 0}}), 4, 16},
        Rejected{"Extensible", fmt_file(pcm(0xFFFE, 2, 4)), 5, 20},
        Rejected{"TagCut", cat({riff_header(40), text("fmt "), le32(16), Bytes{1}}), 5, 20},
        Rejected{"ThreeChannels", fmt_file(pcm(1, 3, 6)), 6, 22},
        Rejected{"NoChannels", fmt_file(pcm(1, 0, 4)), 6, 22},
        Rejected{"NegativeChannels", fmt_file(pcm(1, -1, 4)), 6, 22},
        Rejected{"RateCut", slice(fmt_file(pcm(1, 2, 4)), 0, 26), 7, 24},
        Rejected{"AvgRateCut", slice(fmt_file(pcm(1, 2, 4)), 0, 31), 8, 28},
        Rejected{"AlignCut", slice(fmt_file(pcm(1, 2, 4)), 0, 33), 9, 32},
        Rejected{"AlignZero", fmt_file(pcm(1, 1, 0)), 9, 32},
        Rejected{"AlignNegative", fmt_file(pcm(1, 1, -4)), 9, 32},
        Rejected{"Float64", fmt_file(pcm(3, 1, 8)), 9, 32},
        Rejected{"Float8", fmt_file(pcm(3, 1, 1)), 10, 32},
        Rejected{"Float16", fmt_file(pcm(3, 1, 2)), 11, 32},
        Rejected{"Float24", fmt_file(pcm(3, 1, 3)), 12, 32},
        Rejected{"Pcm32", fmt_file(pcm(1, 1, 4)), 13, 32},
        Rejected{"FmtSizeBelow14CopiesToTheEnd", with_fmt_size(10), 11, with_fmt_size(10).size()},
        Rejected{"NothingAfterFmt", slice(fmt_file(pcm(1, 2, 4)), 0, fmt_end), 12, fmt_end},
        Rejected{"OddFmtThenEnd", wave_file(pcm(1, 2, 4, Bytes{16, 0, 9}), {}), 12, fmt_end + 1},
        Rejected{"OddFmtPadThenEnd", wave_file(pcm(1, 2, 4, Bytes{16, 0, 9}), {{0}}), 12, fmt_end + 2},
        Rejected{"EndsAfterRcvr", wave_file(pcm(1, 2, 4), {chunk("rcvr", le32(7))}), 13, fmt_end},
        Rejected{"RcvrContentCut", cat({wave_file(pcm(1, 2, 4), {}), text("rcvr"), le32(4), Bytes{1, 2}}), 13,
                 fmt_end},
        Rejected{"RcvrSizeCut", cat({wave_file(pcm(1, 2, 4), {}), text("rcvr"), Bytes{4}}), 13, fmt_end},
        Rejected{"EndsAfterOtherChunk", wave_file(pcm(1, 2, 4), {chunk("LIST", Bytes(4, 0))}), 25, fmt_end},
        Rejected{"EndsAfterEmptyChunk", wave_file(pcm(1, 2, 4), {chunk("JUNK", {})}), 25, fmt_end},
        Rejected{"OtherContentCut", cat({wave_file(pcm(1, 2, 4), {}), text("LIST"), le32(9), Bytes{1, 2}}),
                 25, fmt_end},
        Rejected{"DataSizeCut", cat({wave_file(pcm(1, 2, 4), {}), text("data"), Bytes{4, 0}}), 25, fmt_end},
        Rejected{"PadThenEnd", wave_file(pcm(1, 2, 4), {chunk("LIST", Bytes(3, 1)), Bytes{0}}), 25, fmt_end},
        Rejected{"RcvrPadThenEnd", wave_file(pcm(1, 2, 4), {chunk("rcvr", Bytes(3, 1)), Bytes{0}}), 13,
                 fmt_end}),
    [](const auto& info) { return std::string(info.param.name); });

// A valid recording cut at every length up to the end of its data size field
// fails with the code of the field it was cut in, and the output holds exactly
// what had been written until then.
TEST(Truncation, EveryLengthGivesTheCodeOfTheFieldItEndsIn) {
    const Bytes rcvr = chunk("rcvr", le32(145800000));              // at 36, 12 bytes
    const Bytes list = cat({chunk("LIST", text("INFOabc")), {0}});  // at 48, odd: 15 + pad
    const Bytes data = chunk("data", Bytes{9, 8, 7, 6});            // at 64
    const Bytes input = wave_file(pcm(1, 2, 4), {rcvr, list, data});
    constexpr std::size_t data_body = 72;
    ASSERT_EQ(input.size(), data_body + 4);

    struct Field {
        std::size_t from;
        int code;
        std::size_t written;  // SIZE_MAX: every byte read (the fmt tail)
    };
    const std::vector<Field> fields{{0, 0, 0},          {4, 2, 4},    {8, 2, 8},    {12, 3, 12}, {16, 4, 16},
                                    {20, 5, 20},        {22, 6, 22},  {24, 7, 24},  {28, 8, 28}, {32, 9, 32},
                                    {34, 11, SIZE_MAX}, {36, 12, 36}, {40, 13, 36}, {52, 25, 36}};
    ScratchDir dir;
    for (std::size_t length = 0; length < data_body; ++length) {
        std::size_t i = fields.size() - 1;
        while (fields[i].from > length) --i;
        const Field& f = fields[i];
        const RunResult r = convert_file(dir, "in.wav", slice(input, 0, length));
        SCOPED_TRACE("cut at " + std::to_string(length));
        const std::string prefix = f.code == 5 ? "Unknown wFormatTag." : "";
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out,
                  banner("in.wav") + prefix + "Error in .wav file header [" + std::to_string(f.code) + "]");
        EXPECT_BYTES_EQ(read_file(dir / "kordimalen-in.wav"),
                        slice(input, 0, f.written == SIZE_MAX ? length : f.written));
    }
}

}  // namespace

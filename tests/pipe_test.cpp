// End-to-end: the input is read front to back only, so it may be a pipe; the
// output is seeked (for the RIFF size) only when it is a regular file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>
#include <thread>

#include "program_runner.hpp"

namespace {

Bytes recording(std::size_t sample_bytes) {
    Bytes samples(sample_bytes);
    for (std::size_t i = 0; i < sample_bytes; ++i) samples[i] = static_cast<std::uint8_t>(i % 251);
    return wave_file(Format{}, {chunk("LIST", Bytes(99, 'L')), Bytes{0}, chunk("rcvr", le32(433920000)),
                                chunk("JUNK", Bytes(70000, 'J')), chunk("data", samples)});
}

// Converts live.wav, a FIFO that another thread feeds with `input`.
RunResult convert_from_fifo(const ScratchDir& dir, const Bytes& input) {
    if (mkfifo((dir / "live.wav").c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
    std::thread writer([&] { write_file(dir / "live.wav", input); });
    RunResult r = run_converter(dir, {"live.wav"});
    writer.join();
    return r;
}

TEST(Pipe, InputFromAFifoConvertsByteExact) {
    const Bytes input = recording(3 << 20);
    ScratchDir dir;
    EXPECT_TRUE(succeeded(convert_from_fifo(dir, input), "live.wav"));
    const std::size_t data_start = input.size() - (3 << 20) - 8;
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-live.wav"),
                    expected_output(input, 36, auxi_chunk(433920000, 48000, 8, 1, 17), data_start));  // 16 s
}

TEST(Pipe, WrappedFmtSizeCopiesALargePipeToItsEnd) {
    Bytes input = recording(6 << 20);
    const Bytes ten = le32(10);
    std::copy(ten.begin(), ten.end(), input.begin() + 16);
    ScratchDir dir;
    const RunResult r = convert_from_fifo(dir, input);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner("live.wav") + "Error in .wav file header [11]");
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-live.wav"), input);
}

// From a file or from another FIFO.
TEST(Pipe, OutputToAFifoIsNotSeekedAndKeepsTheRiffSize) {
    const Bytes input = recording(1 << 20);
    for (const bool input_fifo : {false, true}) {
        ScratchDir dir;
        if (input_fifo) {
            ASSERT_EQ(mkfifo((dir / "sim.wav").c_str(), 0600), 0);
        } else {
            write_file(dir / "sim.wav", input);
        }
        ASSERT_EQ(mkfifo((dir / "kordimalen-sim.wav").c_str(), 0600), 0);
        Bytes received;
        RunResult r;
        {
            std::thread reader([&] { received = read_file(dir / "kordimalen-sim.wav"); });
            std::thread writer([&] {
                if (input_fifo) write_file(dir / "sim.wav", input);
            });
            r = run_converter(dir, {"sim.wav"});
            writer.join();
            reader.join();
        }
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, banner("sim.wav"));
        Bytes expected = expected_output(input, 36, auxi_chunk(433920000, 48000, 8, 1, 6),  // 5 s
                                         input.size() - (1 << 20) - 8);
        std::copy(input.begin() + 4, input.begin() + 8, expected.begin() + 4);
        EXPECT_BYTES_EQ(received, expected);
    }
}

// A reader that quits is a write failure like a full disk, not a kill by
// SIGPIPE; a console that goes away changes no exit status.
TEST(Pipe, OutputWhoseReaderQuitsIsAWriteFailure) {
    ScratchDir dir;
    write_file(dir / "sim.wav", recording(1 << 20));
    ASSERT_EQ(mkfifo((dir / "kordimalen-sim.wav").c_str(), 0600), 0);
    RunResult r;
    {
        std::thread reader([&] {
            std::ifstream fifo(dir / "kordimalen-sim.wav", std::ios::binary);
            char head[10];
            fifo.read(head, sizeof head);
        });
        r = run_converter(dir, {"sim.wav"});
        reader.join();
    }
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner("sim.wav") + "\nERROR: Failed to write output file.\n");
}

TEST(Pipe, ConsoleThatGoesAwayChangesNoExitStatus) {
    for (const auto& [input, status] : {std::pair{recording(100), 0}, std::pair{text("RIFX"), 1}}) {
        ScratchDir dir;
        write_file(dir / "sim.wav", input);
        const RunResult r = run_converter(dir, {"sim.wav"}, {.console_gone = true});
        EXPECT_EQ(r.exit_code, status);
        EXPECT_EQ(r.err, "");
    }
}

}  // namespace
#else
// FIFOs are a POSIX facility; a Windows named pipe is not a file name that
// plain file opening accepts the same way.
TEST(Pipe, InputFromAFifoConvertsByteExact) { GTEST_SKIP() << "no FIFOs on Windows"; }
TEST(Pipe, WrappedFmtSizeCopiesALargePipeToItsEnd) { GTEST_SKIP() << "no FIFOs on Windows"; }
TEST(Pipe, OutputToAFifoIsNotSeekedAndKeepsTheRiffSize) { GTEST_SKIP() << "no FIFOs on Windows"; }
TEST(Pipe, OutputWhoseReaderQuitsIsAWriteFailure) { GTEST_SKIP() << "no FIFOs on Windows"; }
TEST(Pipe, ConsoleThatGoesAwayChangesNoExitStatus) { GTEST_SKIP() << "no pipes without a reader on Windows"; }
#endif

// Failing disks and failing inputs: every write that fails, wherever it
// fails, and every read error ends with a failure line and status 1; none is
// reported as success, none crashes, and nothing is written after a write that
// failed.
#include <gtest/gtest.h>

#include "custom_stream.hpp"
#include "program_runner.hpp"

namespace {

// An odd "fmt " chunk with its pad, an odd LIST with its pad, rcvr and data:
// every kind of unit the pass writes. `fmt_tail` sets where in the stream
// buffer the "auxi" and "data" units fall.
[[maybe_unused]] Bytes recording(std::size_t sample_bytes, std::size_t fmt_tail = 3) {
    Bytes samples(sample_bytes);
    for (std::size_t i = 0; i < sample_bytes; ++i) samples[i] = static_cast<std::uint8_t>(i * 13);
    Format format;
    format.tail = Bytes(fmt_tail, 9);
    return wave_file(format, {Bytes((fmt_tail & 1) != 0 ? 1 : 0, 0), chunk("LIST", text("INFOISFTabc")),
                              Bytes{0}, chunk("rcvr", le32(7)), chunk("data", samples)});
}

// The output as it stands before the RIFF size is set at the end.
[[maybe_unused]] Bytes uncorrected(Bytes output, const Bytes& input) {
    std::copy(input.begin() + 4, input.begin() + 8, output.begin() + 4);
    return output;
}

}  // namespace

#if defined(KORDIMALEN_HAVE_CUSTOM_STREAMS)
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/driver.hpp"
#include "wave/conversion.hpp"

namespace {

using case_names::PrintTo;

const std::string write_failure_line = "\nERROR: Failed to write output file.\n";
const std::string read_failure_line = "\nERROR: Failed to read input file.\n";

enum class Fault {
    none,
    disk_full,  // no byte at or past `room` is written
    once,       // the first write that would pass `room` fails whole; later ones succeed
    seek,       // every write succeeds, seeking back fails
    close,      // every write succeeds, the close fails
};

// An output file in memory that can be seeked like a regular file. Offsets
// are 64-bit, as a file's are on every system; only the first `kept` bytes
// are stored.
struct Sink {
    Bytes written{};
    std::uint64_t position = 0;
    std::uint64_t length = 0;
    Fault fault = Fault::none;
    std::uint64_t room = UINT64_MAX;
    std::uint64_t failed_at = UINT64_MAX;  // the first byte that a write could not put down
    std::uint64_t kept = UINT64_MAX;
};

std::ptrdiff_t sink_write(void* cookie, const char* bytes, std::size_t size) {
    auto& sink = *static_cast<Sink*>(cookie);
    std::uint64_t take = size;
    if (sink.fault == Fault::disk_full) take = std::min(take, sink.room - std::min(sink.room, sink.position));
    const bool once = sink.fault == Fault::once && sink.failed_at == UINT64_MAX;
    if (once && sink.position + size > sink.room) take = 0;
    if (take < size) sink.failed_at = std::min(sink.failed_at, sink.position + take);
    if (take == 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::uint64_t stored_end = std::min(sink.position + take, sink.kept);
    if (sink.position < stored_end) {
        if (sink.written.size() < stored_end) sink.written.resize(static_cast<std::size_t>(stored_end));
        std::copy_n(bytes, stored_end - sink.position,
                    sink.written.begin() + static_cast<std::ptrdiff_t>(sink.position));
    }
    sink.position += take;
    sink.length = std::max(sink.length, sink.position);
    return static_cast<std::ptrdiff_t>(take);
}

std::int64_t sink_seek(void* cookie, std::int64_t offset, int whence) {
    auto& sink = *static_cast<Sink*>(cookie);
    if (sink.fault == Fault::seek && whence == SEEK_SET) {
        errno = EIO;
        return -1;
    }
    const auto base = static_cast<std::int64_t>(whence == SEEK_SET   ? 0
                                                : whence == SEEK_CUR ? sink.position
                                                                     : sink.length);
    if (base + offset < 0) return -1;
    sink.position = static_cast<std::uint64_t>(base + offset);
    return base + offset;
}

int sink_close(void* cookie) {
    if (static_cast<Sink*>(cookie)->fault != Fault::close) return 0;
    errno = EIO;
    return -1;
}

// An input of `length` bytes, `bytes` and then bytes that nobody looks at,
// that gives its first `good` bytes and then fails with an I/O error; with
// `good` past its length it simply ends.
struct Source {
    const Bytes* bytes = nullptr;
    std::uint64_t length = 0;
    std::uint64_t position = 0;
    std::uint64_t good = UINT64_MAX;
};

std::ptrdiff_t source_read(void* cookie, char* buffer, std::size_t size) {
    auto& source = *static_cast<Source*>(cookie);
    if (source.position >= source.good) {
        errno = EIO;
        return -1;
    }
    const std::uint64_t n =
        std::min<std::uint64_t>(size, std::min(source.length, source.good) - source.position);
    if (source.position < source.bytes->size()) {
        const std::uint64_t given = std::min<std::uint64_t>(n, source.bytes->size() - source.position);
        std::copy_n(source.bytes->begin() + static_cast<std::ptrdiff_t>(source.position), given, buffer);
    }
    source.position += n;
    return static_cast<std::ptrdiff_t>(n);
}

struct Faults {
    std::uint64_t good_input = UINT64_MAX;
    Fault output = Fault::none;
    std::uint64_t room = UINT64_MAX;
    std::size_t filler = 0;          // bytes in the output stream's buffer before the pass begins
    std::uint64_t input_length = 0;  // when past the input's size, unstored bytes follow it
    std::uint64_t output_kept = UINT64_MAX;
};

struct PassResult {
    Outcome outcome;
    int header_error;
    Bytes output;
    std::uint64_t failed_at;
    std::uint64_t output_length;
};

// The pass as the program runs it, with its stream buffers, on a seekable
// output.
PassResult convert(const Bytes& input, const Faults& faults) {
    Source source{&input, std::max<std::uint64_t>(input.size(), faults.input_length), 0, faults.good_input};
    Sink sink{.fault = faults.output, .room = faults.room, .kept = faults.output_kept};
    CustomStream in{&source, source_read, nullptr, nullptr, nullptr};
    CustomStream out{&sink, nullptr, sink_write, sink_seek, sink_close};
    ConversionState state;
    state.input = open_custom_stream(in, "rb");
    state.output = open_custom_stream(out, "wb");
    state.output_is_regular_file = true;
    set_stream_buffers(state);
    // In two writes: a first write of a whole buffer would bypass the buffer.
    if (faults.filler > 0) {
        const Bytes filler(faults.filler, 0xEE);
        std::fwrite(filler.data(), 1, 1, state.output);
        std::fwrite(filler.data() + 1, 1, filler.size() - 1, state.output);
    }
    AuxiRecord record;
    auxi_set_defaults(record);
    const Outcome outcome = convert_wave(state, record);
    std::fclose(state.input);
    return {outcome, state.header_error, sink.written, sink.failed_at, sink.length};
}

// What the driver prints and returns for an outcome, with standard output
// caught in a temporary file.
std::pair<std::string, int> report(const PassResult& run) {
    std::fflush(stdout);
    const int saved = dup(1);
    std::FILE* capture = std::tmpfile();
    dup2(fileno(capture), 1);
    const int status = report_outcome(run.outcome, run.header_error);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string printed;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) printed.push_back(static_cast<char>(c));
    std::fclose(capture);
    return {printed, status};
}

constexpr std::size_t stream_buffer = 64 << 10;
constexpr std::size_t before_fmt_tail = 20 + 14;

struct OutputFaultCase {
    const char* name;
    InputBytes input;
    Fault fault;
    std::vector<std::size_t> rooms;  // output bytes at which the output fails
    std::size_t step = 0;            // and, when not 0, every step bytes and at the last byte
    // The stream buffer is filled in advance so that it runs full at the
    // failing byte: whichever unit holds that byte meets the failure itself,
    // not the final flush.
    bool at_buffer_edge = false;
};

class OutputFault : public ::testing::TestWithParam<OutputFaultCase> {};

TEST_P(OutputFault, IsAWriteFailureThatKeepsOnlyWhatWentBeforeIt) {
    const OutputFaultCase& c = GetParam();
    const Bytes input = c.input.bytes();
    const PassResult whole = convert(input, {});
    ASSERT_NE(whole.outcome, Outcome::write_failure);
    std::vector<std::size_t> rooms = c.rooms;
    for (std::size_t room = 0; c.step != 0 && room < whole.output.size(); room += c.step)
        rooms.push_back(room);
    if (c.step != 0) rooms.push_back(whole.output.size() - 1);
    for (const std::size_t room : rooms) {
        SCOPED_TRACE("output fails at byte " + std::to_string(room));
        Faults faults{.output = c.fault};
        faults.filler = c.at_buffer_edge ? stream_buffer - room : 0;
        faults.room = c.at_buffer_edge ? stream_buffer - 1 : room;
        const PassResult run = convert(input, faults);
        EXPECT_EQ(run.outcome, Outcome::write_failure);
        if (c.fault == Fault::seek) {
            EXPECT_BYTES_EQ(run.output, uncorrected(whole.output, input));
        } else if (c.fault == Fault::close) {
            EXPECT_BYTES_EQ(run.output, whole.output);
        } else {
            ASSERT_LE(run.failed_at, faults.room);
            const Bytes stream = cat({Bytes(faults.filler, 0xEE), uncorrected(whole.output, input)});
            EXPECT_BYTES_EQ(run.output, slice(stream, 0, run.failed_at));
        }
        EXPECT_EQ(report(run), std::make_pair(write_failure_line, 1));
    }
}

const std::size_t large = (3 << 20) + 5;

INSTANTIATE_TEST_SUITE_P(
    Output, OutputFault,
    ::testing::Values(
        OutputFaultCase{"DiskFullAtEveryByte", recording(41), Fault::disk_full, {}, 1},
        OutputFaultCase{"EveryUnitFailingOnce", recording(41), Fault::once, {}, 1, true},
        OutputFaultCase{
            "DiskFullInALargeSampleCopy", [] { return recording(large); }, Fault::disk_full, {}, 65521},
        OutputFaultCase{"OnceInALargeSampleCopy", [] { return recording(large); }, Fault::once, {}, 65521},
        // A fmt tail larger than the stream buffer, sized so that the buffer
        // runs full inside "auxi", the data ID or the data size.
        OutputFaultCase{"OnceInAuxi",
                        [] { return recording(41, stream_buffer - before_fmt_tail - 40); },
                        Fault::once,
                        {stream_buffer - 20}},
        OutputFaultCase{"OnceInDataId",
                        [] { return recording(41, stream_buffer - before_fmt_tail - 76 - 2); },
                        Fault::once,
                        {stream_buffer - 1}},
        OutputFaultCase{"OnceInDataSize",
                        [] { return recording(41, stream_buffer - before_fmt_tail - 76 - 4 - 2); },
                        Fault::once,
                        {stream_buffer - 1}},
        OutputFaultCase{"SeekingBackFails", recording(41), Fault::seek, {0}},
        OutputFaultCase{"CloseFails", recording(41), Fault::close, {0}},
        OutputFaultCase{
            "DiskFullAfterAHeaderError", cat({text("RIFF"), le32(4), text("WAVX")}), Fault::disk_full, {}, 1},
        OutputFaultCase{
            "CloseFailsAfterAHeaderError", cat({text("RIFF"), le32(4), text("WAVX")}), Fault::close, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

// A failed write leaves the stream's error indicator set, and closing reports
// it even when the last flush succeeds.
TEST(FaultInjection, AnEarlierFailedWriteIsReportedAtClose) {
    Sink sink{.fault = Fault::once, .room = 0};
    CustomStream out{&sink, nullptr, sink_write, nullptr, sink_close};
    ConversionState state;
    state.input = std::tmpfile();
    state.output = open_custom_stream(out, "wb");
    set_stream_buffers(state);
    const Bytes filler(stream_buffer - 2, 0xEE);
    std::fwrite(filler.data(), 1, filler.size(), state.output);
    EXPECT_FALSE(write_unit(state, "RIFF", 4));  // runs the buffer full, and its flush fails
    EXPECT_TRUE(write_unit(state, "RIFF", 4));
    EXPECT_FALSE(close_output(state));
    EXPECT_BYTES_EQ(sink.written, text("RIFF"));
    std::fclose(state.input);
}

// An I/O error is a read failure wherever it happens, in the header, in a
// skipped chunk or in the samples, never a header error or success; the
// output keeps what the input ending there would have left.
TEST(FaultInjection, InputFailingAfterAnyByteCount) {
    const Bytes input = recording(41);
    for (std::size_t good = 0; good <= input.size(); ++good) {
        SCOPED_TRACE("input fails after " + std::to_string(good) + " bytes");
        const PassResult failed = convert(input, {.good_input = good});
        const PassResult ended = convert(slice(input, 0, good), {});
        EXPECT_EQ(failed.outcome, Outcome::read_failure);
        EXPECT_EQ(report(failed), std::make_pair(read_failure_line, 1));
        if (ended.outcome == Outcome::header_error) {
            EXPECT_BYTES_EQ(failed.output, ended.output);
        }
    }
}

// Past 4 GiB + 8 bytes the output's length less 8 no longer fits the RIFF
// size, which then keeps the input's value; one byte less still fits. The
// samples go through unstored.
TEST(FaultInjection, OutputPast4GiBKeepsTheInputsRiffSize) {
    constexpr std::uint64_t four_gib = std::uint64_t{1} << 32;
    constexpr std::size_t header = 36 + 8;
    for (const auto& [length, riff_size] :
         {std::pair{four_gib + 7, UINT32_MAX}, std::pair{four_gib + 8, 1234u}}) {
        SCOPED_TRACE("output of " + std::to_string(length) + " bytes");
        const std::uint64_t samples = length - header - 76;
        Bytes input = cat({wave_file(Format{}, {}), text("data"), le32(static_cast<std::uint32_t>(samples))});
        const Bytes input_riff_size = le32(1234);
        std::copy(input_riff_size.begin(), input_riff_size.end(), input.begin() + 4);
        const PassResult run = convert(input, {.input_length = header + samples, .output_kept = header + 76});
        EXPECT_EQ(run.outcome, Outcome::success);
        EXPECT_EQ(run.output_length, length);
        EXPECT_BYTES_EQ(run.output, cat({text("RIFF"), le32(riff_size), slice(input, 8, 36),
                                         auxi_chunk(10000000, 48000, 14, 13, 50), slice(input, 36, header)}));
    }
}

}  // namespace
#else
TEST(FaultInjection, FailingStreams) { GTEST_SKIP() << "failing streams need fopencookie or funopen"; }
#endif

// The real program and real files: every file it writes is capped, as on a
// nearly full disk. The file keeps what was written before the failure, with
// the RIFF size as the input gave it.
TEST(FaultInjection, ProgramOnACappedDiskNeverReportsSuccess) {
#if !defined(KORDIMALEN_CAN_CAP_FILE_SIZES)
    GTEST_SKIP() << "capping file sizes needs setrlimit";
#else
    const Bytes input = recording(41);
    ScratchDir dir;
    write_file(dir / "sim.wav", input);
    ASSERT_EQ(run_converter(dir, {"sim.wav"}).exit_code, 0);
    const Bytes whole = read_file(dir / "kordimalen-sim.wav");
    for (std::size_t cap = 0; cap < whole.size(); ++cap) {
        SCOPED_TRACE("files capped at " + std::to_string(cap) + " bytes");
        const RunResult r = run_converter(dir, {"sim.wav"}, {.file_size_limit = cap});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner("sim.wav") + "\nERROR: Failed to write output file.\n");
        EXPECT_EQ(r.err, "");
        EXPECT_BYTES_EQ(read_file(dir / "kordimalen-sim.wav"), slice(uncorrected(whole, input), 0, cap));
    }
    const RunResult r = run_converter(dir, {"sim.wav"}, {.file_size_limit = whole.size()});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-sim.wav"), whole);
#endif
}

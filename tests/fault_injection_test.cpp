// Failing disks and failing inputs: every write that fails, wherever it
// fails, and every read error ends with a failure line and status 1; none is
// reported as success and none crashes.
#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/driver.hpp"
#include "program_runner.hpp"
#include "wave/conversion.hpp"

namespace {

const std::string write_failure_line = "\nERROR: Failed to write output file.\n";
const std::string read_failure_line = "\nERROR: Failed to read input file.\n";

// An output that takes `room` bytes and then fails as a full disk does.
struct FailingSink {
    Bytes written;
    std::size_t room = SIZE_MAX;
};

ssize_t sink_write(void* cookie, const char* bytes, std::size_t size) {
    auto& sink = *static_cast<FailingSink*>(cookie);
    const std::size_t take = std::min(size, sink.room - sink.written.size());
    if (take == 0) {
        errno = ENOSPC;
        return -1;
    }
    sink.written.insert(sink.written.end(), bytes, bytes + take);
    return static_cast<ssize_t>(take);
}

// An input that gives its first `good` bytes and then fails with an I/O
// error; with `good` past its size it simply ends.
struct FailingSource {
    const Bytes* bytes = nullptr;
    std::size_t position = 0;
    std::size_t good = SIZE_MAX;
};

ssize_t source_read(void* cookie, char* buffer, std::size_t size) {
    auto& source = *static_cast<FailingSource*>(cookie);
    if (source.position >= source.good) {
        errno = EIO;
        return -1;
    }
    const std::size_t left = std::min(source.bytes->size(), source.good) - source.position;
    const std::size_t n = std::min(size, left);
    std::copy_n(source.bytes->begin() + static_cast<std::ptrdiff_t>(source.position), n, buffer);
    source.position += n;
    return static_cast<ssize_t>(n);
}

struct PassResult {
    Outcome outcome;
    int header_error;
    Bytes output;
};

PassResult convert(const Bytes& input, std::size_t good_input, std::size_t output_room) {
    FailingSource source{&input, 0, good_input};
    FailingSink sink{{}, output_room};
    ConversionState state;
    state.input = fopencookie(&source, "rb", {source_read, nullptr, nullptr, nullptr});
    state.output = fopencookie(&sink, "wb", {nullptr, sink_write, nullptr, nullptr});
    AuxiRecord record;
    auxi_set_defaults(record);
    const Outcome outcome = convert_wave(state, record);
    std::fclose(state.input);
    return {outcome, state.header_error, sink.written};
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

Bytes recording(std::size_t sample_bytes) {
    Bytes samples(sample_bytes);
    for (std::size_t i = 0; i < sample_bytes; ++i) samples[i] = static_cast<std::uint8_t>(i * 13);
    return wave_file(Format{}, {chunk("LIST", text("INFOISFTabc")), Bytes{0}, chunk("rcvr", le32(7)),
                                chunk("data", samples)});
}

TEST(FaultInjection, OutputFailingAfterAnyByteCountIsAWriteFailure) {
    const Bytes input = recording(41);
    const PassResult whole = convert(input, SIZE_MAX, SIZE_MAX);
    ASSERT_EQ(whole.outcome, Outcome::success);
    for (std::size_t room = 0; room < whole.output.size(); ++room) {
        SCOPED_TRACE("output fails after " + std::to_string(room) + " bytes");
        const PassResult run = convert(input, SIZE_MAX, room);
        EXPECT_EQ(run.outcome, Outcome::write_failure);
        EXPECT_BYTES_EQ(run.output, slice(whole.output, 0, room));
        EXPECT_EQ(report(run), std::make_pair(write_failure_line, 1));
    }
    EXPECT_EQ(convert(input, SIZE_MAX, whole.output.size()).outcome, Outcome::success);
}

// Larger than the stream buffers, so that writes fail in the middle of the
// copy as well as at the final flush.
TEST(FaultInjection, OutputFailingInTheMiddleOfALargeCopy) {
    const Bytes input = recording((3 << 20) + 5);
    const PassResult whole = convert(input, SIZE_MAX, SIZE_MAX);
    ASSERT_EQ(whole.outcome, Outcome::success);
    for (std::size_t room = 0; room < whole.output.size(); room += 65521) {
        SCOPED_TRACE("output fails after " + std::to_string(room) + " bytes");
        EXPECT_EQ(convert(input, SIZE_MAX, room).outcome, Outcome::write_failure);
    }
    EXPECT_EQ(convert(input, SIZE_MAX, whole.output.size() - 1).outcome, Outcome::write_failure);
}

// An I/O error in the header is reported as the header error that the input
// ending there gives; in the sample data it is a read failure, never success.
TEST(FaultInjection, InputFailingAfterAnyByteCount) {
    const Bytes input = recording(41);
    for (std::size_t good = 0; good <= input.size(); ++good) {
        SCOPED_TRACE("input fails after " + std::to_string(good) + " bytes");
        const PassResult failed = convert(input, good, SIZE_MAX);
        const PassResult ended = convert(slice(input, 0, good), SIZE_MAX, SIZE_MAX);
        if (ended.outcome == Outcome::header_error) {
            EXPECT_EQ(failed.outcome, Outcome::header_error);
            EXPECT_EQ(failed.header_error, ended.header_error);
            EXPECT_BYTES_EQ(failed.output, ended.output);
        } else {
            EXPECT_EQ(failed.outcome, Outcome::read_failure);
            EXPECT_EQ(report(failed), std::make_pair(read_failure_line, 1));
        }
    }
}

// The same with the real program and real files: every file it writes is
// capped, as on a nearly full disk.
TEST(FaultInjection, ProgramOnACappedDiskNeverReportsSuccess) {
    const Bytes input = recording(41);
    ScratchDir dir;
    write_file(dir / "sim.wav", input);
    ASSERT_EQ(run_converter(dir, {"sim.wav"}).exit_code, 0);
    const Bytes whole = read_file(dir / "kordimalen-sim.wav");
    for (std::size_t cap = 0; cap < whole.size(); ++cap) {
        SCOPED_TRACE("files capped at " + std::to_string(cap) + " bytes");
        const RunResult r = run_converter(dir, {"sim.wav"}, cap);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner("sim.wav") + write_failure_line);
        EXPECT_EQ(r.err, "");
    }
    const RunResult r = run_converter(dir, {"sim.wav"}, whole.size());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-sim.wav"), whole);
}

}  // namespace
#else
// Failing streams are made with glibc's fopencookie, and capped disks with
// setrlimit; neither exists on Windows.
TEST(FaultInjection, OutputFailingAfterAnyByteCountIsAWriteFailure) {
    GTEST_SKIP() << "needs glibc's fopencookie";
}
TEST(FaultInjection, OutputFailingInTheMiddleOfALargeCopy) { GTEST_SKIP() << "needs glibc's fopencookie"; }
TEST(FaultInjection, InputFailingAfterAnyByteCount) { GTEST_SKIP() << "needs glibc's fopencookie"; }
TEST(FaultInjection, ProgramOnACappedDiskNeverReportsSuccess) {
    GTEST_SKIP() << "needs POSIX file size limits";
}
#endif

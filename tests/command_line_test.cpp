// End-to-end: the argument, the file names, the console lines and the exit
// status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/driver.hpp"
#include "program_runner.hpp"

namespace fs = std::filesystem;

namespace {

const std::string usage = "Give a single filename as argument to this program. (ex sim.wav)";

Bytes small_recording() {
    return wave_file(Format{}, {chunk("rcvr", le32(7)), chunk("data", Bytes{1, 2, 3, 4, 5, 6, 7, 8})});
}

std::size_t entries(const ScratchDir& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
}

class WrongArgumentCount : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(WrongArgumentCount, PrintsUsageAndTouchesNoFile) {
    ScratchDir dir;
    write_file(dir / "a.wav", small_recording());
    write_file(dir / "b.wav", small_recording());
    const RunResult r = run_converter(dir, GetParam());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, usage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(entries(dir), 2u);
}

INSTANTIATE_TEST_SUITE_P(Arguments, WrongArgumentCount,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"a.wav", "b.wav"},
                                           std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));

// A folder opens for reading on POSIX systems, but it is no more a recording
// than a missing file is.
TEST(CommandLine, InputThatCannotBeOpenedCreatesNoOutputAndLeavesAnOldOneAlone) {
    for (const std::string name : {"missing.wav", "folder"}) {
        ScratchDir dir;
        if (name == "folder") fs::create_directory(dir / name);
        write_file(dir / ("kordimalen-" + name), text("keep me"));
        const RunResult r = run_converter(dir, {name});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner(name) + "Could not open " + name);
        EXPECT_EQ(r.err, "");
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + name)), text("keep me"));
        fs::remove(dir / ("kordimalen-" + name));
        EXPECT_EQ(run_converter(dir, {name}).out, banner(name) + "Could not open " + name);
        EXPECT_FALSE(fs::exists(dir / ("kordimalen-" + name)));
    }
}

TEST(CommandLine, PrefixGoesInFrontOfTheDirectoryPart) {
    ScratchDir dir;
    fs::create_directory(dir / "recordings");
    write_file(dir / "recordings" / "sim.wav", small_recording());
    const RunResult missing = run_converter(dir, {"recordings/sim.wav"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.out, banner("recordings/sim.wav") + "Could not open kordimalen-recordings/sim.wav\n");

    fs::create_directory(dir / "kordimalen-recordings");
    const RunResult r = run_converter(dir, {"recordings/sim.wav"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, banner("recordings/sim.wav"));
    EXPECT_EQ(read_file(dir / "kordimalen-recordings" / "sim.wav").size(),
              small_recording().size() + 76 - 12);
}

TEST(CommandLine, ExistingOutputIsEmptiedBeforeTheHeaderIsRead) {
    ScratchDir dir;
    write_file(dir / "kordimalen-bad.wav", Bytes(1000, 0x55));
    write_file(dir / "bad.wav", cat({text("RIFF"), le32(4), text("WAVX")}));
    const RunResult r = run_converter(dir, {"bad.wav"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner("bad.wav") + "Error in .wav file header [2]");
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-bad.wav"), cat({text("RIFF"), le32(4)}));
}

TEST(CommandLine, LongAndUnusualNamesAreUsedWhole) {
#ifdef _WIN32
    const std::size_t long_name = 150;  // the whole path stays under MAX_PATH
#else
    const std::size_t long_name = 200;
#endif
    const std::string cyrillic_greek =
        "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87-\xCE\xBA\xCE\xBB\xCE\xB5\xCE\xB9\xCE\xB4\xCE\xAF.wav";
    const Bytes input = small_recording();
    const Bytes expected = expected_output(input, 36, auxi_chunk(7, 48000, 8, 1, 1), 48);
    for (const std::string& name :
         {std::string(long_name, 'n') + ".wav", std::string("with space & 'quote'.wav"),
          std::string("k\xC3\xB6rdi.wav"), cyrillic_greek}) {
        ScratchDir dir;
        EXPECT_TRUE(succeeded(convert_file(dir, name, input), name)) << name;
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + name)), expected);
    }
}

// Windows before 10 version 1903 pass names in the ANSI code page, which need
// not be UTF-8 ("kördi.wav" arrives with the one byte F6). Such a name still
// gives a path, and the program converts the file without an exception.
TEST(CommandLine, NameThatIsNotUtf8IsConvertedWithoutAnException) {
    std::string name = "k\xF6rdi.wav";
    EXPECT_TRUE(file_path(name).has_value());
    ScratchDir dir;
    const std::string folder = dir.path().string() + "/";
    const Bytes input = small_recording();
    std::FILE* file = std::fopen((folder + name).c_str(), "wb");  // as the program opens it
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(input.data(), 1, input.size(), file), input.size());
    ASSERT_EQ(std::fclose(file), 0);

    const fs::path previous = fs::current_path();
    fs::current_path(dir.path());
    std::string program = "kordimalen";
    char* argv[] = {program.data(), name.data(), nullptr};
    const int status = run_conversion(2, argv);
    fs::current_path(previous);
    EXPECT_EQ(status, 0);

    Bytes output(200);
    file = std::fopen((folder + "kordimalen-" + name).c_str(), "rb");
    ASSERT_NE(file, nullptr);
    output.resize(std::fread(output.data(), 1, output.size(), file));
    std::fclose(file);
    const Bytes expected = expected_output(input, 36, auxi_chunk(7, 48000, 8, 1, 1), 48);
    ASSERT_EQ(output.size(), expected.size());
    // The RIFF size is set where the name's path leads to the file: always on
    // POSIX systems, on Windows only when the code page is the one the name is in.
    EXPECT_BYTES_EQ(slice(output, 8, output.size()), slice(expected, 8, expected.size()));
}

TEST(CommandLine, OutputThatIsTheInputIsRefusedBeforeAnythingIsTruncated) {
    const Bytes input = small_recording();
    for (const bool symbolic : {true, false}) {
#ifdef _WIN32
        if (symbolic) continue;  // symbolic links need extra privileges on Windows
#endif
        ScratchDir dir;
        write_file(dir / "sim.wav", input);
        if (symbolic) {
            fs::create_symlink("sim.wav", dir / "kordimalen-sim.wav");
        } else {
            fs::create_hard_link(dir / "sim.wav", dir / "kordimalen-sim.wav");
        }
        const RunResult r = run_converter(dir, {"sim.wav"});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner("sim.wav") + "Could not open kordimalen-sim.wav\n");
        EXPECT_BYTES_EQ(read_file(dir / "sim.wav"), input);
    }
}

TEST(CommandLine, FullDiskIsAWriteFailureNotASuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    // A header error after bytes were written still ends as a write failure
    // when they could not be written; with nothing written it stays a header
    // error.
    const std::string write_failure = "\nERROR: Failed to write output file.\n";
    for (const auto& [input, message] :
         {std::pair{small_recording(), write_failure}, std::pair{text("RIFF"), write_failure},
          std::pair{text("RIFX"), std::string("Error in .wav file header [1]")}}) {
        ScratchDir dir;
        write_file(dir / "sim.wav", input);
        fs::create_symlink("/dev/full", dir / "kordimalen-sim.wav");
        const RunResult r = run_converter(dir, {"sim.wav"});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner("sim.wav") + message);
        EXPECT_EQ(r.err, "");
    }
}

TEST(CommandLine, OutputNameTakenByAFolderCannotBeOpened) {
    ScratchDir dir;
    write_file(dir / "sim.wav", small_recording());
    fs::create_directory(dir / "kordimalen-sim.wav");
    const RunResult r = run_converter(dir, {"sim.wav"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, banner("sim.wav") + "Could not open kordimalen-sim.wav\n");
}

// The console stream is text mode: each newline goes out the platform's way
// (CR LF on Windows), while the output file is written byte for byte.
TEST(CommandLine, ConsoleUsesThePlatformNewline) {
    ScratchDir dir;
    write_file(dir / "sim.wav", small_recording());
    const RunResult r = run_converter(dir, {"sim.wav"});
#ifdef _WIN32
    const std::string newline = "\r\n";
#else
    const std::string newline = "\n";
#endif
    EXPECT_EQ(r.raw_out,
              newline + " Convert sim.wav to Kordimalen format (kordimalen-sim.wav)" + newline + newline);
}

// On Windows the shell passes wildcards on and the program's start-up
// expands them; on POSIX the shell has expanded them before the program runs.
TEST(CommandLine, WildcardMatchingOneFileConvertsItAndTwoGiveUsage) {
#ifndef _WIN32
    GTEST_SKIP() << "the POSIX shell expands wildcards, not the program";
#else
    ScratchDir dir;
    write_file(dir / "one.wav", small_recording());
    const RunResult one = run_converter(dir, {"*.wav"});
    EXPECT_EQ(one.exit_code, 0);
    EXPECT_EQ(one.out, banner("one.wav"));
    EXPECT_TRUE(fs::exists(dir / "kordimalen-one.wav"));

    ScratchDir two_dir;
    write_file(two_dir / "a.wav", small_recording());
    write_file(two_dir / "b.wav", small_recording());
    const RunResult two = run_converter(two_dir, {"*.wav"});
    EXPECT_EQ(two.exit_code, 1);
    EXPECT_EQ(two.out, usage);
#endif
}

}  // namespace

// End-to-end: the argument, the file names, the console lines and the exit
// status.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

#include "program_runner.hpp"

namespace fs = std::filesystem;

namespace {

using case_names::PrintTo;

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
    // Each name with the way a terminal shows it.
    const std::vector<std::pair<std::string, std::string>> names{
        {"missing.wav", "missing.wav"},          {"folder", "folder"},
        {"link-to-folder", "link-to-folder"},    {"50%x %s%n.wav", "50%x %s%n.wav"},
#ifndef _WIN32
        {"gone\x1B[2J.wav", "gone\\x1B[2J.wav"},
#endif
    };
    for (const auto& [name, shown] : names) {
#ifdef _WIN32
        if (name == "link-to-folder") continue;  // symbolic links need extra privileges on Windows
#endif
        ScratchDir dir;
        if (name == "folder") fs::create_directory(dir / name);
        if (name == "link-to-folder") {
            fs::create_directory(dir / "folder");
            fs::create_directory_symlink("folder", dir / name);
        }
        write_file(dir / ("kordimalen-" + name), text("keep me"));
        const RunResult r = run_converter(dir, {name});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.out, banner(name) + "Could not open " + name);
        EXPECT_EQ(r.err, "");
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + name)), text("keep me"));
        fs::remove(dir / ("kordimalen-" + name));
        EXPECT_EQ(run_converter(dir, {name}).out, banner(name) + "Could not open " + name);
        EXPECT_FALSE(fs::exists(dir / ("kordimalen-" + name)));
#ifndef _WIN32
        EXPECT_EQ(run_converter(dir, {name}, {.terminal = true}).out,
                  banner(shown) + "Could not open " + shown);
#endif
    }
}

// The converted bytes for such a name: Names/FolderPart.
TEST(CommandLine, PrefixGoesInFrontOfTheDirectoryPart) {
    ScratchDir dir;
    fs::create_directory(dir / "recordings");
    write_file(dir / "recordings" / "sim.wav", small_recording());
    const RunResult missing = run_converter(dir, {"recordings/sim.wav"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.out, banner("recordings/sim.wav") + "Could not open kordimalen-recordings/sim.wav\n");
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

#ifdef _WIN32
// The program as Windows before 10 version 1903 runs it, without the UTF-8
// code page of its manifest: its ANSI code page is 1252, so a file or a pipe
// gets "Bob’s.wav" with ’ as the one byte 0x92.
const char* const ansi_program = KORDIMALEN_ANSI_EXE;
const std::string bobs = "Bob\xE2\x80\x99s.wav";
const std::string bobs_in_1252 = "Bob\x92s.wav";
#endif

struct NameCase {
    const char* name;
    std::string argument;  // as typed, UTF-8
    std::string printed = argument;
    std::string on_terminal = printed;  // as a terminal shows it (POSIX)
    const char* program = KORDIMALEN_EXE;
    std::string output_link{};  // when set, the output name is a symbolic link to this file
    std::string look_alike{};   // when set, this file and its copy stand beside the input, never touched
    // Made first (POSIX): folders, each a small tmpfs of its own when `tmpfs`
    // is set (needs root), then symbolic links (name, target) to folders.
    std::vector<std::string> folders{};
    bool tmpfs = false;
    std::vector<std::pair<std::string, std::string>> links{};
};

#ifndef _WIN32
// A small tmpfs mounted on a folder, unmounted at the end of the test.
struct Tmpfs {
    std::string folder;
    bool mounted;
    explicit Tmpfs(const fs::path& path)
        : folder(path),
          mounted(std::system(("mount -t tmpfs -o size=1m tmpfs '" + folder + "' 2>/dev/null").c_str()) ==
                  0) {}
    ~Tmpfs() {
        if (mounted && std::system(("umount '" + folder + "'").c_str()) != 0)
            ADD_FAILURE() << "umount " << folder;
    }
};

ino_t inode(const fs::path& path) {
    struct stat file {};
    return stat(path.c_str(), &file) == 0 ? file.st_ino : 0;
}
#endif

// Writes the input under the argument's name; folders in the name are made
// for the input and for the output.
void place_input(const ScratchDir& dir, const std::string& argument, const Bytes& input) {
    fs::create_directories((dir / argument).parent_path());
    fs::create_directories((dir / ("kordimalen-" + argument)).parent_path());
    write_file(dir / argument, input);
}

class Names : public ::testing::TestWithParam<NameCase> {};

// Each name gives the same bytes, the RIFF size set from the output's length.
TEST_P(Names, AreUsedWholeAndGiveTheSameBytes) {
    const NameCase& c = GetParam();
    const Bytes input = small_recording();
    ScratchDir dir;
#ifndef _WIN32
    std::deque<Tmpfs> mounts;
    for (const std::string& folder : c.folders) {
        fs::create_directories(dir / folder);
        if (c.tmpfs && !mounts.emplace_back(dir / folder).mounted)
            GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
    }
    for (const auto& [link, target] : c.links) fs::create_directory_symlink(target, dir / link);
#endif
    place_input(dir, c.argument, input);
    std::string output = "kordimalen-" + c.argument;
#ifndef _WIN32
    if (c.tmpfs) {
        write_file(dir / output, {});  // like the input, the first file of its file system
        if (inode(dir / output) != inode(dir / c.argument))
            GTEST_SKIP() << "the two file systems gave their first files different inode numbers";
    }
#endif
    if (!c.output_link.empty()) {
        write_file(dir / c.output_link, {});
        fs::create_symlink(c.output_link, dir / output);
        output = c.output_link;
    }
    if (!c.look_alike.empty()) {
        for (const std::string& name : {c.look_alike, "kordimalen-" + c.look_alike})
            write_file(dir / name, text("x"));
    }
    const Bytes expected = expected_output(input, 36, auxi_chunk(7, 48000, 8, 1, 1), 48);
    EXPECT_TRUE(succeeded(run_converter(dir, {c.argument}, {.program = c.program}), c.printed));
    EXPECT_BYTES_EQ(read_file(dir / output), expected);
    if (!c.look_alike.empty()) {
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + c.look_alike)), text("x"));
    }
#ifndef _WIN32
    EXPECT_TRUE(succeeded(run_converter(dir, {c.argument}, {.terminal = true}), c.on_terminal));
    EXPECT_BYTES_EQ(read_file(dir / output), expected);
#endif
}

std::vector<NameCase> name_cases() {
#ifdef _WIN32
    const std::size_t long_name = 150;  // the whole path stays under MAX_PATH
#else
    const std::size_t long_name = 200;
#endif
    return {
        {.name = "Long", .argument = std::string(long_name, 'n') + ".wav"},
        {.name = "SpaceAndQuotes", .argument = "with space & 'quote'.wav"},
        {.name = "Latin", .argument = "k\xC3\xB6rdi.wav"},
        {.name = "CyrillicGreek",
         .argument = "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87-\xCE\xBA\xCE\xBB\xCE\xB5\xCE\xB9\xCE\xB4\xCE\xAF.wav"},
        {.name = "FolderPart", .argument = "rec/sim.wav"},
        // Shown as typed on a terminal too: ’ is E2 80 99, and % no format.
        {.name = "CyrillicQuoteAndPercent",
         .argument = "\xD0\xB6\xD1\x83\xD0\xBA Bob\xE2\x80\x99s 50%x %s%n.wav"},
        // Past 300 characters as an absolute path, where Windows needs long paths.
        {.name = "LongFolders",
         .argument =
             std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c') + "/sim.wav"},
#ifdef _WIN32
        {.name = "AnsiCodePage", .argument = bobs, .printed = bobs_in_1252, .program = ansi_program},
        // Outside code page 1252, where "best fit" made them a.wav and ab.wav:
        // read as typed, printed in UTF-8.
        {.name = "FullWidthInAnsiCodePage",
         .argument = "\xEF\xBD\x81.wav",
         .program = ansi_program,
         .look_alike = "a.wav"},
        {.name = "GreekInAnsiCodePage",
         .argument = "\xCE\xB1\xCE\xB2.wav",
         .program = ansi_program,
         .look_alike = "ab.wav"},
#else
        // Symbolic links and mounts need privileges on Windows, whose names
        // cannot hold C0 controls either.
        {.name = "OutputIsASymbolicLinkToAFile", .argument = "sim.wav", .output_link = "elsewhere.wav"},
        // One inode number on two file systems: two files.
        {.name = "SameInodeNumberOnTwoFileSystems",
         .argument = "m/sim.wav",
         .folders = {"m", "kordimalen-m"},
         .tmpfs = true},
        // The `..` is taken where the link leads, as fopen takes it: the
        // input is d/sim.wav, the output e/sim.wav, whatever ./sim.wav is.
        {.name = "DotDotAfterALink",
         .argument = "link/../sim.wav",
         .folders = {"d/sub", "e/sub"},
         .links = {{"link", "d/sub"}, {"kordimalen-link", "e/sub"}}},
        {.name = "DotDotAfterALinkBesideAFolderOfTheName",
         .argument = "link/../sim.wav",
         .folders = {"d/sub", "e/sub", "sim.wav"},
         .links = {{"link", "d/sub"}, {"kordimalen-link", "e/sub"}}},
        {.name = "EscapeAndBell",
         .argument = "evil\x1B]0;pwned\x07\x1B[2J.wav",
         .on_terminal = "evil\\x1B]0;pwned\\x07\\x1B[2J.wav"},
        {.name = "ReturnTabNewlineDelete",
         .argument = "a\rb\tc\nd\x7F.wav",
         .on_terminal = "a\\x0Db\\x09c\\x0Ad\\x7F.wav"},
        {.name = "C1ControlInUtf8",
         .argument = "c1\xC2\x9B"
                     "31m.wav",
         .on_terminal = "c1\\xC2\\x9B31m.wav"},
        {.name = "LoneC1Byte",
         .argument = "lone\x9B"
                     "31m.wav",
         .on_terminal = "lone\\x9B31m.wav"},
        // Malformed UTF-8 is bytes, each 0x80 to 0x9F a C1 control.
        {.name = "OverlongForms",
         .argument = "o\xC1\x80-\xE0\x82\x9B.wav",
         .on_terminal = "o\xC1\\x80-\xE0\\x82\\x9B.wav"},
        {.name = "Surrogate", .argument = "s\xED\xA0\x9B.wav", .on_terminal = "s\xED\xA0\\x9B.wav"},
        {.name = "BrokenSequence", .argument = "b\xE2\x9B\x41.wav", .on_terminal = "b\xE2\\x9BA.wav"},
        {.name = "CutOffAtTheEnd", .argument = "cut\xE2\x82", .on_terminal = "cut\xE2\\x82"},
        {.name = "NoBreakSpaceAndAcute", .argument = "nbsp\xC2\xA0\xC3\xA9.wav"},
#endif
    };
}

INSTANTIATE_TEST_SUITE_P(CommandLine, Names, ::testing::ValuesIn(name_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Input { file, fifo, block_device, character_device, console_screen };
// How the output name is made to lead to the input: a link, or a device node
// of the input's numbers, of its own kind or of the other.
enum class Link { hard, symbolic, node, other_kind_of_node, none };

struct LinkCase {
    const char* name;
    std::string argument;
    Link link = Link::hard;  // how the output name is made to lead to the input
    std::string printed = argument;
    const char* program = KORDIMALEN_EXE;
    Input input = Input::file;
    std::string console_file{};  // the shell's `>` (or `>>`) into the output
    bool append = false;
    std::string link_to{};      // when set, the link leads to this file of the folder instead
    bool terminal = false;      // standard output is a terminal (POSIX)
    std::string not_refused{};  // when set, the run is not refused and prints this after the banner
};

#ifndef _WIN32
// A loop device over a file, detached again at the end of the test.
struct LoopDevice {
    std::string path;
    explicit LoopDevice(const fs::path& file) {
        std::FILE* losetup =
            popen(("losetup --find --show '" + file.string() + "' 2>/dev/null").c_str(), "r");
        char line[256] = "";
        if (losetup != nullptr && std::fgets(line, sizeof line, losetup) != nullptr) path = line;
        if (losetup != nullptr) pclose(losetup);
        if (!path.empty()) path.pop_back();  // the newline
    }
    ~LoopDevice() {
        if (!path.empty() && std::system(("losetup -d " + path).c_str()) != 0) ADD_FAILURE() << "losetup -d";
    }
};

bool opens(const fs::path& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    return file != nullptr && std::fclose(file) == 0;
}
#endif

// Names that lead to the input, and a console sent into the output, are
// refused before anything is opened for writing: no recording, FIFO or device
// is overwritten, and nothing waits for itself. What is another file or
// device is not refused.
class OutputGuard : public ::testing::TestWithParam<LinkCase> {};

TEST_P(OutputGuard, LeavesTheInputWhole) {
    const LinkCase& c = GetParam();
    Bytes input = small_recording();
    input.resize(512);  // a whole sector, for the loop device
    ScratchDir dir;
    const fs::path input_path = dir / c.argument;
    fs::path link_target = input_path;
    std::thread fifo_writer;
#ifndef _WIN32
    std::optional<LoopDevice> loop;
    if (c.input == Input::fifo) {
        ASSERT_EQ(mkfifo(input_path.c_str(), 0600), 0);
        std::signal(SIGPIPE, SIG_IGN);  // the program may close it unread
        fifo_writer = std::thread([&] { write_file(input_path, input); });
    } else if (c.input == Input::block_device) {
        write_file(dir / "disk", input);
        loop.emplace(dir / "disk");
        struct stat device {};
        if (loop->path.empty() || stat(loop->path.c_str(), &device) != 0 ||
            mknod(input_path.c_str(), S_IFBLK | 0600, device.st_rdev) != 0)
            GTEST_SKIP() << "no loop device (needs root and losetup)";
        if (c.link == Link::symbolic)
            link_target = loop->path;  // another node: another inode, the same device
    } else if (c.input == Input::character_device) {
        fs::create_symlink("/dev/zero", input_path);
    } else if (c.input == Input::console_screen) {
        // Character device 7, 0, the first virtual console's screen, reads as
        // text and never as a recording; block device 7, 0 is a loop device.
        if (mknod(input_path.c_str(), S_IFCHR | 0600, makedev(7, 0)) != 0 || !opens(input_path, "rb"))
            GTEST_SKIP() << "no virtual console to read (needs root and a console)";
    }
#endif
    if (c.input == Input::file) place_input(dir, c.argument, input);
    const fs::path output_path = dir / ("kordimalen-" + c.argument);
    if (!c.link_to.empty()) {
        link_target = dir / c.link_to;
        write_file(link_target, {});
    }
    if (c.link == Link::symbolic) {
        fs::create_symlink(link_target, output_path);
    } else if (c.link == Link::hard) {
        fs::create_hard_link(link_target, output_path);
    }
#ifndef _WIN32
    if (c.link == Link::node || c.link == Link::other_kind_of_node) {
        struct stat device {};
        const bool character = stat(input_path.c_str(), &device) == 0 && S_ISCHR(device.st_mode);
        const mode_t kind = character == (c.link == Link::node) ? S_IFCHR : S_IFBLK;
        if (mknod(output_path.c_str(), kind | 0600, device.st_rdev) != 0 || !opens(output_path, "ab"))
            GTEST_SKIP() << "cannot make a device node (needs root)";
    }
#endif
    const RunResult r = run_converter(dir, {c.argument},
                                      {.console_file = c.console_file,
                                       .append = c.append,
                                       .terminal = c.terminal,
                                       .program = c.program,
                                       .seconds = 20});
    if (fifo_writer.joinable()) fifo_writer.join();
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out,
              banner(c.printed) +
                  (c.not_refused.empty() ? "Could not open kordimalen-" + c.printed + "\n" : c.not_refused));
    if (c.input == Input::file || c.input == Input::block_device) {
        EXPECT_BYTES_EQ(read_file(input_path), input);
    }
}

std::vector<LinkCase> link_cases() {
    return {
        {.name = "HardLink", .argument = "sim.wav"},
        {.name = "HardLinkWithFolderPart", .argument = "rec/sim.wav"},
        {.name = "ConsoleRedirectedIntoOutput",
         .argument = "sim.wav",
         .link = Link::none,
         .console_file = "kordimalen-sim.wav"},
        {.name = "ConsoleAppendedToOutput",
         .argument = "sim.wav",
         .link = Link::none,
         .console_file = "kordimalen-sim.wav",
         .append = true},
        {.name = "ConsoleIntoAHardLinkOfTheOutput",
         .argument = "sim.wav",
         .console_file = "console.txt",
         .link_to = "console.txt"},
        {.name = "PercentInTheName", .argument = "50%x %s%n.wav"},
#ifdef _WIN32
        {.name = "HardLinkInAnsiCodePage",
         .argument = bobs,
         .printed = bobs_in_1252,
         .program = ansi_program},
#else
        // Symbolic links need extra privileges on Windows, which has no FIFOs
        // or device names either.
        {.name = "SymbolicLink", .argument = "sim.wav", .link = Link::symbolic},
        {.name = "FifoHardLink", .argument = "sim.wav", .input = Input::fifo},
        {.name = "FifoSymbolicLink", .argument = "sim.wav", .link = Link::symbolic, .input = Input::fifo},
        {.name = "BlockDeviceHardLink", .argument = "sim.wav", .input = Input::block_device},
        {.name = "BlockDeviceOtherNode",
         .argument = "sim.wav",
         .link = Link::symbolic,
         .input = Input::block_device},
        {.name = "CharacterDeviceHardLink", .argument = "sim.wav", .input = Input::character_device},
        {.name = "CharacterDeviceSymbolicLink",
         .argument = "sim.wav",
         .link = Link::symbolic,
         .input = Input::character_device},
        {.name = "CharacterDeviceOtherNode",
         .argument = "sim.wav",
         .link = Link::node,
         .input = Input::character_device},
        {.name = "ConsoleIntoASymbolicLinkOfTheOutput",
         .argument = "sim.wav",
         .link = Link::symbolic,
         .console_file = "console.txt",
         .link_to = "console.txt"},
        {.name = "ControlsOnATerminal",
         .argument = "\x1B[2J\x9B"
                     "31m.wav",
         .printed = "\\x1B[2J\\x9B31m.wav",
         .terminal = true},
        // Block device 7, 0 and character device 7, 0 are two devices.
        {.name = "BlockAndCharacterNodeOfOneNumber",
         .argument = "screen",
         .link = Link::other_kind_of_node,
         .input = Input::console_screen,
         .not_refused = "Error in .wav file header [1]"},
#endif
    };
}

INSTANTIATE_TEST_SUITE_P(CommandLine, OutputGuard, ::testing::ValuesIn(link_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Another process turns the output name between a link to another file and a
// link to the input, as fast as it can, while the program runs again and
// again: whatever the name leads to when it is opened, the input is never
// emptied.
TEST(CommandLine, OutputNameSwappedBetweenLinksNeverReachesTheInput) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need extra privileges on Windows";
#else
    ScratchDir dir;
    const Bytes input = small_recording();
    write_file(dir / "x.wav", input);
    write_file(dir / "other.wav", {});
    std::atomic<bool> done{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        std::error_code ignored;
        for (bool to_input = false; !done; to_input = !to_input, ++swaps) {
            fs::create_symlink(to_input ? "x.wav" : "other.wav", dir / "next", ignored);
            fs::rename(dir / "next", dir / "kordimalen-x.wav", ignored);
        }
    });
    // A count, not a time, so that slow builds (sanitizers, emulators) try as
    // often: the old look-up-then-open code was caught within 62 runs.
    constexpr int least_runs = 300;
    int runs = 0;
    for (; (runs < least_runs || swaps < least_runs) && read_file(dir / "x.wav") == input; ++runs) {
        (void)run_converter(dir, {"x.wav"});
    }
    done = true;
    swapper.join();
    EXPECT_BYTES_EQ(read_file(dir / "x.wav"), input) << "after " << runs << " runs";
#endif
}

// A check-only run: the console and the output both on /dev/null.
TEST(CommandLine, ConsoleAndOutputOnTheNullDeviceConvert) {
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/null on Windows";
#else
    ScratchDir dir;
    write_file(dir / "sim.wav", small_recording());
    fs::create_symlink("/dev/null", dir / "kordimalen-sim.wav");
    EXPECT_EQ(run_converter(dir, {"sim.wav"}, {.console_file = "/dev/null"}).exit_code, 0);
#endif
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

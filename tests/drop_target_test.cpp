// Windows: kordimalen-drop.exe started as Explorer starts a drop target, with
// the dropped full paths on one command line, each quoted only when it holds
// a space.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "program_runner.hpp"

namespace fs = std::filesystem;

namespace {

struct Dropped {
    int exit_code = -1;
    std::string out;  // without the CRs
};

// Runs the drop target with `line` after its name, standard output and error
// into a pipe, standard input from NUL (so that it never waits for a key), in
// the current folder `folder` (none: the test's).
Dropped drop(const std::wstring& line, const fs::path& program_path = KORDIMALEN_DROP_EXE,
             const fs::path& folder = {}) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (CreatePipe(&reader, &writer, &inherited, 0) == 0) throw std::runtime_error("pipe");
    (void)SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                       OPEN_EXISTING, 0, nullptr);
    const std::wstring program = fs::path(program_path).make_preferred().wstring();
    std::wstring command = L"\"" + program + L"\"" + line;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = writer;
    startup.hStdError = writer;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process) != 0;
    (void)CloseHandle(writer);
    (void)CloseHandle(nothing);
    Dropped result;
    std::thread collect([&] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(reader, buffer, sizeof buffer, &got, nullptr) != 0 && got > 0) {
            for (DWORD i = 0; i < got; ++i) {
                if (buffer[i] != '\r') result.out.push_back(buffer[i]);
            }
        }
    });
    if (started) {
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            (void)TerminateProcess(process.hProcess, 99);
            ADD_FAILURE() << "the drop target still ran after 120 s";
        }
        DWORD status = 0;
        (void)GetExitCodeProcess(process.hProcess, &status);
        result.exit_code = static_cast<int>(status);
        (void)CloseHandle(process.hThread);
        (void)CloseHandle(process.hProcess);
    }
    collect.join();
    (void)CloseHandle(reader);
    if (!started) throw std::runtime_error("cannot start the drop target");
    return result;
}

// A full path as Explorer puts it on the line.
std::wstring as_explorer_quotes(const fs::path& path) {
    const std::wstring text = path.wstring();
    return text.find(L' ') == std::wstring::npos ? L" " + text : L" \"" + text + L"\"";
}

std::string utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

Bytes recording(bool with_rcvr = true) {
    return wave_file(Format{},
                     {with_rcvr ? chunk("rcvr", le32(7)) : Bytes{}, chunk("data", Bytes{1, 2, 3, 4, 5, 6})});
}

// What the program itself makes of the recording.
Bytes converted(bool with_rcvr = true) {
    ScratchDir dir;
    write_file(dir / "sim.wav", recording(with_rcvr));
    EXPECT_TRUE(succeeded(run_converter(dir, {"sim.wav"}), "sim.wav"));
    return read_file(dir / "kordimalen-sim.wav");
}

// Every character that cmd.exe would take for syntax, letters outside any one
// code page, and two whose look-alikes (a.wav, ab.wav) stand beside them.
const std::vector<std::string> names = {"with space.wav",
                                        "x&y.wav",
                                        "c^d.wav",
                                        "50%x%.wav",
                                        "bang!.wav",
                                        "(p).wav",
                                        "semi;colon.wav",
                                        "com,ma.wav",
                                        "eq=ual.wav",
                                        "it's.wav",
                                        "é.wav",
                                        "жук.wav",
                                        "录音.wav",
                                        "a b&c (1).wav",
                                        "\xEF\xBD\x81.wav",
                                        "\xCE\xB1\xCE\xB2.wav"};

// The summary at the end of a drop, with the failed recording's line and copy.
std::string summary(std::size_t converted, const fs::path& failed, const std::string& reason) {
    const std::string path = utf8(failed);
    const std::string copy = utf8(failed.parent_path() / ("kordimalen-" + failed.filename().string()));
    return "\nConverted " + std::to_string(converted) + ", failed 1.\n\nFailed:\n  " + path + "\n    " +
           reason + "\n    incomplete copy left: " + copy + "\n";
}

TEST(DropTarget, ConvertsEachDroppedRecordingBesideItAndNamesTheFailedOnes) {
    const Bytes expected = converted();
    ScratchDir dir;
    std::wstring line;
    for (const std::string& name : names) {
        write_file(dir / name, recording());
        line += as_explorer_quotes(dir / name);
    }
    for (const std::string look_alike : {"a.wav", "ab.wav"}) write_file(dir / look_alike, text("look-alike"));
    write_file(dir / "broken.wav", text("RIFX"));
    line += as_explorer_quotes(dir / "broken.wav");
    const Dropped r = drop(line);
    EXPECT_EQ(r.exit_code, 1);
    for (const std::string& name : names) {
        EXPECT_NE(r.out.find(banner(name)), std::string::npos) << name << " in: " << r.out;
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + name)), expected) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "kordimalen-a.wav") || fs::exists(dir / "kordimalen-ab.wav"));
    EXPECT_TRUE(r.out.ends_with(summary(names.size(), dir / "broken.wav", "Error in .wav file header [1]")))
        << r.out;
}

// A folder stands for its recordings and its subfolders' in name order, each
// converted from the defaults: the second recording, without a "rcvr" chunk,
// never gets the first one's frequency.
TEST(DropTarget, ConvertsAFoldersRecordingsButNotTheCopies) {
    const Bytes expected = converted();
    const Bytes expected_without_rcvr = converted(false);
    ScratchDir dir;
    fs::create_directories(dir / "rec one" / "inner");
    for (const std::string name : {"a.wav", "kordimalen-old.wav", "inner/c.wav"}) {
        write_file(dir / "rec one" / name, recording());
    }
    write_file(dir / "rec one" / "b&c.WAV", recording(false));
    write_file(dir / "rec one" / "notes.txt", text("not a recording"));
    // As Windows PowerShell 5.1 passes "...\rec one\": the quote is part of the name.
    const Dropped r = drop(L" \"" + (dir / "rec one").wstring() + L"\\\"");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_BYTES_EQ(read_file(dir / "rec one" / "kordimalen-a.wav"), expected);
    EXPECT_BYTES_EQ(read_file(dir / "rec one" / "kordimalen-b&c.WAV"), expected_without_rcvr);
    EXPECT_BYTES_EQ(read_file(dir / "rec one" / "inner" / "kordimalen-c.wav"), expected);
    EXPECT_FALSE(fs::exists(dir / "rec one" / "kordimalen-kordimalen-old.wav"));
    EXPECT_FALSE(fs::exists(dir / "rec one" / "kordimalen-notes.txt"));
    EXPECT_TRUE(r.out.ends_with("\nConverted 3, failed 0.\n")) << r.out;
}

// No second program, no current folder: the drop target alone in a folder
// converts a recording in a folder past 260 characters, and a name typed as
// C:d.wav is d.wav in drive C's current folder.
TEST(DropTarget, ConvertsAloneLongFoldersAndDriveRelativeNames) {
    const Bytes expected = converted();
    ScratchDir dir;
    fs::create_directory(dir / "alone");
    fs::copy_file(fs::path(KORDIMALEN_DROP_EXE), dir / "alone" / "kordimalen-drop.exe");
    const fs::path deep = dir / std::string(120, 'a') / std::string(120, 'b') / std::string(40, 'c');
    fs::create_directories(deep);
    write_file(deep / "r.wav", recording());
    write_file(dir / "d.wav", recording());
    const std::wstring drive_relative = dir.path().root_name().wstring() + L"d.wav";
    const Dropped r = drop(as_explorer_quotes(deep / "r.wav") + L" " + drive_relative,
                           dir / "alone" / "kordimalen-drop.exe", dir.path());
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_BYTES_EQ(read_file(deep / "kordimalen-r.wav"), expected);
    EXPECT_BYTES_EQ(read_file(dir / "kordimalen-d.wav"), expected);
}

TEST(DropTarget, StartedWithNothingSaysHowToUseIt) {
    const Dropped r = drop(L"");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.out.starts_with("Drop recordings (.wav files), or folders of them, on kordimalen-drop.exe"))
        << r.out;
}

}  // namespace

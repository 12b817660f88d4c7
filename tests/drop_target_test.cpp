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
// into a pipe, standard input from NUL (so that it never waits for a key).
Dropped drop(const std::wstring& line) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    if (CreatePipe(&reader, &writer, &inherited, 0) == 0) throw std::runtime_error("pipe");
    (void)SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                       OPEN_EXISTING, 0, nullptr);
    const std::wstring program = fs::path(KORDIMALEN_DROP_EXE).make_preferred().wstring();
    std::wstring command = L"\"" + program + L"\"" + line;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = writer;
    startup.hStdError = writer;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process) != 0;
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

Bytes recording() {
    return wave_file(Format{}, {chunk("rcvr", le32(7)), chunk("data", Bytes{1, 2, 3, 4, 5, 6})});
}

// What the program itself makes of the recording.
Bytes converted() {
    ScratchDir dir;
    write_file(dir / "sim.wav", recording());
    EXPECT_TRUE(succeeded(run_converter(dir, {"sim.wav"}), "sim.wav"));
    return read_file(dir / "kordimalen-sim.wav");
}

// Every character that cmd.exe would take for syntax, and letters outside any
// one code page.
const std::vector<std::string> names = {
    "with space.wav", "x&y.wav",    "c^d.wav",  "50%x%.wav", "bang!.wav", "(p).wav",  "semi;colon.wav",
    "com,ma.wav",     "eq=ual.wav", "it's.wav", "é.wav",     "жук.wav",   "录音.wav", "a b&c (1).wav"};

TEST(DropTarget, ConvertsEachDroppedRecordingBesideItAndNamesTheFailedOnes) {
    const Bytes expected = converted();
    ScratchDir dir;
    std::wstring line;
    for (const std::string& name : names) {
        write_file(dir / name, recording());
        line += as_explorer_quotes(dir / name);
    }
    write_file(dir / "broken.wav", text("RIFX"));
    line += as_explorer_quotes(dir / "broken.wav");
    const Dropped r = drop(line);
    EXPECT_EQ(r.exit_code, 1);
    for (const std::string& name : names) {
        EXPECT_NE(r.out.find(banner(name)), std::string::npos) << name << " in: " << r.out;
        EXPECT_BYTES_EQ(read_file(dir / ("kordimalen-" + name)), expected) << name;
    }
    const std::string failed = "\nFailed:\n  " + utf8(dir / "broken.wav") + "\n";
    EXPECT_TRUE(r.out.ends_with(failed)) << r.out;
}

TEST(DropTarget, ConvertsAFoldersRecordingsButNotTheCopies) {
    const Bytes expected = converted();
    ScratchDir dir;
    fs::create_directory(dir / "rec one");
    for (const std::string name : {"a.wav", "b&c.WAV", "kordimalen-old.wav"}) {
        write_file(dir / "rec one" / name, recording());
    }
    write_file(dir / "rec one" / "notes.txt", text("not a recording"));
    const Dropped r = drop(as_explorer_quotes(dir / "rec one"));
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_BYTES_EQ(read_file(dir / "rec one" / "kordimalen-a.wav"), expected);
    EXPECT_BYTES_EQ(read_file(dir / "rec one" / "kordimalen-b&c.WAV"), expected);
    EXPECT_FALSE(fs::exists(dir / "rec one" / "kordimalen-kordimalen-old.wav"));
    EXPECT_FALSE(fs::exists(dir / "rec one" / "kordimalen-notes.txt"));
    EXPECT_EQ(r.out.find("Failed:"), std::string::npos) << r.out;
}

TEST(DropTarget, StartedWithNothingSaysHowToUseIt) {
    const Dropped r = drop(L"");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(r.out.starts_with("Drop recordings (.wav files), or folders of them, on kordimalen-drop.exe"))
        << r.out;
}

}  // namespace

// kordimalen-drop: what Explorer starts when recordings or folders are dropped
// on it or sent to it ("Send to"). Explorer puts the full paths on one command
// line, each quoted only when it holds a space, so a name may hold & ^ % ! ( )
// ; , = ' as it is: the line is read here as it came, never by cmd.exe. Each
// recording is converted by kordimalen.exe beside this program, started in the
// recording's folder with the bare name, so that the copy lands beside it. A
// folder stands for the .wav files in it, the kordimalen-* copies left out.
//
// Exit status: 0 when every recording converted, 1 when one failed or nothing
// was given.
#include <windows.h>

#include <conio.h>
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int exit_success = 0;
constexpr int exit_failure = 1;

// A console gets the text as UTF-16; a file or a pipe gets UTF-8 with CR LF,
// as the converter's own lines in a redirected run.
void say(const std::wstring& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (out == INVALID_HANDLE_VALUE || out == nullptr || text.size() > INT_MAX / 8) return;
    if (GetConsoleMode(out, &mode) != 0) {
        (void)WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::wstring lines;
    for (const wchar_t c : text) {
        if (c == L'\n') lines.push_back(L'\r');
        lines.push_back(c);
    }
    const int wide_size = static_cast<int>(lines.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide_size, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, lines.data(), wide_size, bytes.data(), size, nullptr, nullptr) ==
        size) {
        (void)WriteFile(out, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    }
}

bool ends_with_wav(const std::wstring& name) {
    return name.size() > 4 &&
           CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".wav", 4, TRUE) == CSTR_EQUAL;
}

bool is_copy(const std::wstring& name) {
    constexpr wchar_t prefix[] = L"kordimalen-";
    constexpr int prefix_size = static_cast<int>(std::size(prefix)) - 1;
    return name.size() >= static_cast<std::size_t>(prefix_size) &&
           CompareStringOrdinal(name.c_str(), prefix_size, prefix, prefix_size, TRUE) == CSTR_EQUAL;
}

bool is_folder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The recordings of a folder, in name order; not those of its subfolders.
std::vector<std::wstring> recordings_in(std::wstring folder) {
    if (folder.back() != L'\\' && folder.back() != L'/') folder.push_back(L'\\');
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && ends_with_wav(name) &&
            !is_copy(name)) {
            found.push_back(folder + name);
        }
    } while (FindNextFileW(search, &entry) != 0);
    (void)FindClose(search);
    std::sort(found.begin(), found.end());
    return found;
}

// An inheritable copy of a standard handle, for the converter: its lines go
// where this program's go, a console, a file or a pipe.
HANDLE inheritable(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr ||
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS) == 0) {
        return nullptr;
    }
    return copy;
}

// Runs the converter in the recording's folder with its bare name; true when
// it converted. File names hold no quotes, so quoting the name is enough.
bool convert(const std::wstring& converter, const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::wstring line = L"kordimalen \"" + name + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable(STD_INPUT_HANDLE);
    startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritable(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(converter.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process) != 0;
    for (const HANDLE copy : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        if (copy != nullptr) (void)CloseHandle(copy);
    }
    if (!started) {
        say(L"\nCould not start " + converter + L" for " + path + L"\n");
        return false;
    }
    DWORD status = exit_failure;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &status) != 0;
    (void)CloseHandle(process.hThread);
    (void)CloseHandle(process.hProcess);
    return ended && status == exit_success;
}

// A console made for this program alone: Explorer started it, and its window
// closes as soon as the program ends. A console shared with a shell, or none,
// needs no wait.
bool console_of_its_own() {
    DWORD processes[2];
    DWORD mode = 0;
    return GetConsoleProcessList(processes, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

int run(const std::vector<std::wstring>& dropped, const std::wstring& converter) {
    if (dropped.empty()) {
        say(L"Drop recordings (.wav files), or folders of them, on kordimalen-drop.exe in Explorer,\n"
            L"or send them to it with the \"Send to\" menu. Each copy, kordimalen-NAME.wav,\n"
            L"lands beside its recording. From a console: kordimalen-drop RECORDING.wav|FOLDER ...\n");
        return exit_failure;
    }
    std::vector<std::wstring> failed;
    for (const std::wstring& path : dropped) {
        std::vector<std::wstring> recordings{path};
        if (is_folder(path)) {
            recordings = recordings_in(path);
            if (recordings.empty()) say(L"\nNo recordings in " + path + L"\n");
        }
        for (const std::wstring& recording : recordings) {
            if (!convert(converter, recording)) {
                say(L"\n");  // some failure lines end without a newline
                failed.push_back(recording);
            }
        }
    }
    if (failed.empty()) return exit_success;
    std::wstring list = L"\nFailed:\n";
    for (const std::wstring& recording : failed) list += L"  " + recording + L"\n";
    say(list);
    return exit_failure;
}

}  // namespace

int main() {
    const bool wait_for_a_key = console_of_its_own();
    int status = exit_failure;
    try {
        int count = 0;
        wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> dropped;
        for (int i = 1; arguments != nullptr && i < count; ++i) dropped.emplace_back(arguments[i]);
        if (arguments != nullptr) (void)LocalFree(arguments);
        // The converter beside this program, whatever the current folder.
        std::wstring converter(MAX_PATH, L'\0');
        for (;;) {
            const DWORD size =
                GetModuleFileNameW(nullptr, converter.data(), static_cast<DWORD>(converter.size()));
            if (size == 0) break;
            if (size < converter.size()) {
                converter.resize(size);
                break;
            }
            converter.resize(converter.size() * 2);
        }
        converter.erase(converter.find_last_of(L"\\/") + 1);
        converter += L"kordimalen.exe";
        status = run(dropped, converter);
    } catch (...) {
        say(L"\nOut of memory.\n");
    }
    if (wait_for_a_key) {
        say(L"\nPress a key to close this window.");
        (void)FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
        (void)_getwch();
    }
    return status;
}

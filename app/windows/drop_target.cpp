// kordimalen-drop: what Explorer starts when recordings or folders are dropped
// on it or sent to it ("Send to"). Explorer puts the full paths on one command
// line, each quoted only when it holds a space, so a name may hold & ^ % ! ( )
// ; , = ' as it is: the line is read here as it came, never by cmd.exe. Each
// recording is converted in this process, as kordimalen converts its argument:
// the same banner, guards and lines, with the copy, kordimalen-NAME, beside
// the recording. A folder stands for the recordings in it and in its
// subfolders, the kordimalen-* copies left out and no junction or link
// followed.
//
// Exit status: 0 when every recording converted, 1 when one failed, a folder
// could not be read, or nothing was found.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/system.hpp"

namespace {

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

// A name typed in a console, made full as Windows reads it: C:d.wav is d.wav
// in drive C's current folder, not a stream of a file "C". Windows PowerShell
// 5.1 passes "C:\rec\a folder\" on as C:\rec\a folder", whose quote no file
// name can hold.
std::wstring full_path(std::wstring given) {
    if (!given.empty() && given.back() == L'"') given.pop_back();
    const DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (size == 0) return given;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return given;
    full.resize(length);
    return full;
}

struct Failure {
    std::string path;
    FailureLine reason;
    std::string copy;  // the incomplete copy left behind, if any
};

struct Tally {
    std::size_t converted = 0;
    std::vector<Failure> failed;
};

void convert(const std::wstring& path, Tally& tally) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::string folder = narrow_name(path.substr(0, slash + 1));
    const std::string name = narrow_name(path.substr(slash + 1));
    const ConversionReport report = convert_recording(folder, name);
    if (report.status == exit_success) {
        ++tally.converted;
    } else {
        print_console({"\n"});  // some failure lines end without a newline
        tally.failed.push_back(
            {folder + name, report.failure, report.copy_left ? folder + build_output_name(name) : ""});
    }
}

// The recordings of a folder and of its subfolders, in name order.
void convert_folder(std::wstring folder, Tally& tally) {
    if (folder.back() != L'\\' && folder.back() != L'/') folder.push_back(L'\\');
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) return;  // an empty drive
    if (search == INVALID_HANDLE_VALUE) {
        const std::string name = narrow_name(folder);
        print_console({"\nCould not read the folder ", given_name(name), "\n"});
        tally.failed.push_back({name, {"Could not read this folder", "", ""}, ""});
        return;
    }
    std::vector<std::wstring> recordings;
    std::vector<std::wstring> subfolders;
    do {
        const std::wstring name = entry.cFileName;
        const DWORD attributes = entry.dwFileAttributes;
        if (name == L"." || name == L".." || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            subfolders.push_back(folder + name);
        } else if (ends_with_wav(name) && !is_copy(name)) {
            recordings.push_back(folder + name);
        }
    } while (FindNextFileW(search, &entry) != 0);
    (void)FindClose(search);
    std::sort(recordings.begin(), recordings.end());
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::wstring& recording : recordings) convert(recording, tally);
    for (const std::wstring& subfolder : subfolders) convert_folder(subfolder, tally);
}

std::string without_newlines(std::string text) {
    std::erase(text, '\n');
    return text;
}

int run(const std::vector<std::wstring>& dropped) {
    if (dropped.empty()) {
        print_console(
            {"Drop recordings (.wav files), or folders of them, on kordimalen-drop.exe in Explorer,\n"
             "or send them to it with the \"Send to\" menu. Each copy, kordimalen-NAME.wav,\n"
             "lands beside its recording. From a console: kordimalen-drop RECORDING.wav|FOLDER ...\n"});
        return exit_failure;
    }
    Tally tally;
    for (const std::wstring& given : dropped) {
        const std::wstring path = full_path(given);
        if (is_folder(path)) {
            const std::size_t before = tally.converted + tally.failed.size();
            convert_folder(path, tally);
            if (tally.converted + tally.failed.size() == before) {
                print_console({"\nNo recordings in ", given_name(narrow_name(path)), "\n"});
            }
        } else {
            convert(path, tally);
        }
    }
    const std::string converted = std::to_string(tally.converted);
    const std::string failed = std::to_string(tally.failed.size());
    print_console({"\nConverted ", converted, ", failed ", failed, ".\n"});
    if (tally.converted == 0 && tally.failed.empty()) {
        print_console({"No recordings (.wav files) were found.\n"});
        return exit_failure;
    }
    if (tally.failed.empty()) return exit_success;
    print_console({"\nFailed:\n"});
    for (const Failure& failure : tally.failed) {
        const std::string reason = without_newlines(failure.reason.text);
        print_console(
            {"  ", given_name(failure.path), "\n    ", reason, given_name(failure.reason.name), "\n"});
        if (!failure.copy.empty())
            print_console({"    incomplete copy left: ", given_name(failure.copy), "\n"});
    }
    return exit_failure;
}

}  // namespace

int main() {
    const bool window_of_its_own = console_of_its_own();
    int status = exit_failure;
    try {
        int count = 0;
        wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> dropped;
        for (int i = 1; arguments != nullptr && i < count; ++i) dropped.emplace_back(arguments[i]);
        if (arguments != nullptr) (void)LocalFree(arguments);
        status = run(dropped);
    } catch (...) {
        print_console({"\nOut of memory.\n"});
    }
    if (window_of_its_own) wait_for_a_key();
    return status;
}

#include <cstdio>
#include <string>

#include "app/system.hpp"

#ifdef _WIN32
#include <windows.h>

#include <system_error>

// Windows names lead to files and folders only, which std::filesystem
// compares by volume and file index.
bool output_is_input(std::FILE*, const std::string& input_name, const std::string& output_name) {
    const auto input = file_path(input_name);
    const auto output = file_path(output_name);
    std::error_code error;
    return input && output && std::filesystem::equivalent(*input, *output, error) && !error;
}

namespace {

bool identify(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return file != INVALID_HANDLE_VALUE && file != nullptr && GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, &info) != 0;
}

}  // namespace

bool output_is_console(const std::string& output_name) {
    const auto output = file_path(output_name);
    BY_HANDLE_FILE_INFORMATION console{};
    if (!output || !identify(GetStdHandle(STD_OUTPUT_HANDLE), console)) {
        return false;
    }
    // Opened for no access at all: only to ask which file the name leads to.
    const HANDLE file =
        CreateFileW(output->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION named{};
    const bool same = identify(file, named) && named.dwVolumeSerialNumber == console.dwVolumeSerialNumber &&
                      named.nFileIndexHigh == console.nFileIndexHigh &&
                      named.nFileIndexLow == console.nFileIndexLow;
    if (file != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(file);
    }
    return same;
}
#else
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One file: one inode of one file system, or two nodes of one device.
bool same_file(const struct stat& a, const struct stat& b) {
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) {
        return true;
    }
    const bool block_devices = S_ISBLK(a.st_mode) && S_ISBLK(b.st_mode);
    const bool character_devices = S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode);
    return (block_devices || character_devices) && a.st_rdev == b.st_rdev;
}

}  // namespace

// The input is what its open descriptor is on, not what its name leads to
// now; the output name is asked without opening it, which for a FIFO would
// wait for a reader and for a file would empty it.
bool output_is_input(std::FILE* input, const std::string&, const std::string& output_name) {
    struct stat opened {};
    struct stat named {};
    return fstat(fileno(input), &opened) == 0 && stat(output_name.c_str(), &named) == 0 &&
           same_file(opened, named);
}

bool output_is_console(const std::string& output_name) {
    struct stat console {};
    struct stat named {};
    return fstat(STDOUT_FILENO, &console) == 0 && stat(output_name.c_str(), &named) == 0 &&
           !S_ISCHR(named.st_mode) && same_file(console, named);
}
#endif

#include <cstdio>
#include <string>

#include "app/system.hpp"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

namespace {

// Windows names lead to files and folders only, which are told apart by
// volume and file index.
bool identify(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return file != INVALID_HANDLE_VALUE && file != nullptr && GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, &info) != 0;
}

HANDLE handle_of(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

// Opened for no access at all: only to ask which file the name leads to.
bool identify_name(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
    const auto wide = widen_name(name);
    if (!wide) {
        return false;
    }
    const HANDLE file = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = identify(file, info);
    if (file != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(file);
    }
    return known;
}

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

FileKind opened_kind(std::FILE* stream) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!identify(handle_of(stream), info)) {
        return FileKind::other;
    }
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::folder
                                                                   : FileKind::regular_file;
}

bool output_is_input(std::FILE* input, const std::string& output_name) {
    BY_HANDLE_FILE_INFORMATION opened{};
    BY_HANDLE_FILE_INFORMATION named{};
    return identify(handle_of(input), opened) && identify_name(output_name, named) &&
           same_file(opened, named);
}

bool output_is_console(const std::string& output_name) {
    BY_HANDLE_FILE_INFORMATION console{};
    BY_HANDLE_FILE_INFORMATION named{};
    return identify(GetStdHandle(STD_OUTPUT_HANDLE), console) && identify_name(output_name, named) &&
           same_file(console, named);
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

FileKind opened_kind(std::FILE* stream) {
    struct stat opened {};
    if (fstat(fileno(stream), &opened) != 0) {
        return FileKind::other;
    }
    if (S_ISDIR(opened.st_mode)) {
        return FileKind::folder;
    }
    return S_ISREG(opened.st_mode) ? FileKind::regular_file : FileKind::other;
}

// stat follows links, as fopen does.
bool output_is_input(std::FILE* input, const std::string& output_name) {
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

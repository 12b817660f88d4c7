#include <cstdio>
#include <string>

#include "app/system.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>

namespace {

bool on_disk(HANDLE file) {
    return file != INVALID_HANDLE_VALUE && file != nullptr && GetFileType(file) == FILE_TYPE_DISK;
}

// Windows names lead to files and folders only, which are told apart by
// volume and file index.
bool identify(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return on_disk(file) && GetFileInformationByHandle(file, &info) != 0;
}

HANDLE handle_of(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// The opened handle as a stream that writes bytes as they are; closes the
// handle when that fails.
std::FILE* stream_of(HANDLE file) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        (void)CloseHandle(file);
        return nullptr;
    }
    std::FILE* output = _fdopen(descriptor, "wb");
    if (output == nullptr) {
        (void)_close(descriptor);  // closes the handle too
    }
    return output;
}

}  // namespace

// Asks the file alone, not its volume as the identity does, which is slow on
// some systems: a drop of many recordings asks this twice per recording.
FileKind opened_kind(std::FILE* stream) {
    const HANDLE file = handle_of(stream);
    FILE_STANDARD_INFO info{};
    if (!on_disk(file) || GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) == 0) {
        return FileKind::other;
    }
    return info.Directory != FALSE ? FileKind::folder : FileKind::regular_file;
}

// Opened as "wb" opens (shared for reading and writing), but without
// emptying: only a disk file that holds bytes and is neither the input nor the
// console is emptied, once it is known to be neither.
std::FILE* open_output(const std::string& name, std::FILE* input) {
    const auto wide = widen_name(name);
    if (!wide) {
        return nullptr;
    }
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    // A file that this open created is new and empty: neither the input nor
    // the console's file, which were open before it, and nothing to empty.
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return stream_of(file);
    }
    BY_HANDLE_FILE_INFORMATION opened{};
    BY_HANDLE_FILE_INFORMATION other{};
    const bool disk_file = on_disk(file);
    // A disk file that cannot tell who it is (some redirectors and user-mode
    // file systems) could be the input, and could not be emptied safely.
    const bool known = !disk_file || identify(file, opened);
    const bool is_input = disk_file && identify(handle_of(input), other) && same_file(opened, other);
    const bool is_console =
        disk_file && identify(GetStdHandle(STD_OUTPUT_HANDLE), other) && same_file(opened, other);
    const bool holds_bytes = disk_file && (opened.nFileSizeHigh != 0 || opened.nFileSizeLow != 0);
    if (!known || is_input || is_console || (holds_bytes && SetEndOfFile(file) == 0)) {
        (void)CloseHandle(file);
        return nullptr;
    }
    return stream_of(file);
}
#else
#include <fcntl.h>
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

// Opened as "wb" opens (created when missing, links followed, a FIFO waiting
// for its reader), but without emptying: a regular file that holds bytes is
// emptied only once it is known to be neither the input nor the console.
std::FILE* open_output(const std::string& name, std::FILE* input) {
    const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat opened {};
    struct stat other {};
    const bool known = fstat(descriptor, &opened) == 0;
    const bool is_input = known && fstat(fileno(input), &other) == 0 && same_file(opened, other);
    const bool is_console =
        known && !S_ISCHR(opened.st_mode) && fstat(STDOUT_FILENO, &other) == 0 && same_file(opened, other);
    // Only a file that holds bytes is emptied: ext4 takes a file truncated to
    // size 0 for one being replaced and writes all of it back when it is
    // closed, which a just-created output need not wait for.
    const bool holds_bytes = S_ISREG(opened.st_mode) && opened.st_size > 0;
    std::FILE* output = nullptr;
    if (known && !is_input && !is_console && (!holds_bytes || ftruncate(descriptor, 0) == 0)) {
        output = fdopen(descriptor, "wb");
    }
    if (output == nullptr) {
        (void)close(descriptor);
    }
    return output;
}
#endif

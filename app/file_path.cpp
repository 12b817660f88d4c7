#include <climits>
#include <filesystem>
#include <optional>
#include <string>

#include "app/driver.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// fopen hands a name to the system in the code page of the file functions:
// the ANSI code page, which the manifest makes UTF-8 on Windows 10 1903 and
// later; older Windows keep the local one (1252 in western Europe, where
// "Bob’s.wav" holds the byte 0x92). The checks read the name the same way, so
// that they look at the file that fopen opens.
std::optional<std::filesystem::path> file_path(const std::string& name) {
    const UINT code_page = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    if (name.empty() || name.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const int size = static_cast<int>(name.size());
    const int wide_size = MultiByteToWideChar(code_page, 0, name.data(), size, nullptr, 0);
    if (wide_size <= 0) {
        return std::nullopt;
    }
    try {
        std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
        if (MultiByteToWideChar(code_page, 0, name.data(), size, wide.data(), wide_size) != wide_size) {
            return std::nullopt;
        }
        return std::filesystem::path(wide);
    } catch (...) {
        return std::nullopt;
    }
}
#else
// POSIX file names are bytes, and a path holds them unchanged.
std::optional<std::filesystem::path> file_path(const std::string& name) {
    try {
        return std::filesystem::path(name);
    } catch (...) {
        return std::nullopt;
    }
}
#endif

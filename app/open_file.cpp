#include <cstdio>
#include <string>

#include "app/system.hpp"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <optional>
#include <string_view>

// fopen hands a name to the system in the code page of the file functions:
// the ANSI code page, which the manifest makes UTF-8 on Windows 10 1903 and
// later; older Windows keep the local one (1252 in western Europe, where
// "Bob’s.wav" holds the byte 0x92). The checks and the console read the name
// the same way, so that they look at the file that is opened.
std::optional<std::wstring> widen_name(std::string_view text) {
    const UINT code_page = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::nullopt;
    }
    const int size = static_cast<int>(text.size());
    const int wide_size = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    if (wide_size <= 0) {
        return std::nullopt;
    }
    try {
        std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
        if (MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), wide_size) != wide_size) {
            return std::nullopt;
        }
        return wide;
    } catch (...) {
        return std::nullopt;
    }
}

// The narrow fopen stops at 260 characters even where the system's long-path
// setting is on; the wide one, with the manifest's longPathAware, does not.
std::FILE* open_file(const std::string& name, const char* mode) {
    const auto wide = widen_name(name);
    const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));  // "rb", "wb"
    return wide ? _wfopen(wide->c_str(), wide_mode.c_str()) : nullptr;
}
#else
#include <sys/types.h>

// Without 64-bit file offsets (_FILE_OFFSET_BITS=64 on 32-bit systems) fopen
// cannot open a recording past 2 GiB, and the output cannot grow past it.
static_assert(sizeof(off_t) >= 8, "file offsets must be 64 bits: build with -D_FILE_OFFSET_BITS=64");

// POSIX file names are bytes, handed to the system unchanged.
std::FILE* open_file(const std::string& name, const char* mode) { return std::fopen(name.c_str(), mode); }
#endif

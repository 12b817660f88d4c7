#include <cstdio>
#include <string>

#include "app/system.hpp"
#include "app/utf8.hpp"

#ifdef _WIN32
#include <windows.h>

#include <optional>
#include <string_view>

// Windows names are UTF-16, and NTFS takes any 16-bit units, a lone surrogate
// too. The program holds them as UTF-8, a lone surrogate written as its own
// three bytes (WTF-8), so that every name goes back to the system exactly as
// it came: no code page stands in between, and no letter is ever replaced by
// a look-alike.
std::string narrow_name(std::wstring_view wide) {
    std::string text;
    const auto put = [&](unsigned value) { text.push_back(static_cast<char>(value)); };
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t code = wide[i];
        const bool pair = code >= 0xD800 && code <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
                          wide[i + 1] <= 0xDFFF;
        if (pair) code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
        if (code < 0x80) {
            put(code);
        } else if (code < 0x800) {
            put(0xC0 | (code >> 6));
            put(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            put(0xE0 | (code >> 12));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        } else {
            put(0xF0 | (code >> 18));
            put(0x80 | ((code >> 12) & 0x3F));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::optional<std::wstring> widen_name(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::wstring wide;
    while (!text.empty()) {
        const auto [code, length] = next_character(text, true);
        if (code >= 0x80 && length == 1) return std::nullopt;
        if (code >= 0x10000) {
            wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(code));
        }
        text.remove_prefix(length);
    }
    return wide;
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

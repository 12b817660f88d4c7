#include <cstdio>
#include <string>

#include "app/system.hpp"

#ifdef _WIN32
#include <windows.h>

#include <climits>

namespace {

// A console shows bytes in its own output code page (the OEM one, 437, 850,
// 866, ..., unless the user changed it), not in the code page the names came
// in; as UTF-16 through WriteConsoleW it shows them as typed.
bool write_to_console(const std::string& text) {
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || console == nullptr || GetConsoleMode(console, &mode) == 0) {
        return false;  // a file or a pipe
    }
    const auto wide = widen_name(text);
    if (!wide || wide->size() > static_cast<std::size_t>(INT_MAX) / 2) {
        return false;
    }
    std::wstring lines;
    lines.reserve(wide->size() * 2);
    for (const wchar_t c : *wide) {
        if (c == L'\n') {
            lines.push_back(L'\r');  // the newline of the stream's text mode
        }
        lines.push_back(c);
    }
    (void)std::fflush(stdout);  // keeps the order with anything written through the stream
    DWORD written = 0;
    (void)WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    return true;
}

}  // namespace
#endif

void print_console(const std::string& text) {
#ifdef _WIN32
    if (write_to_console(text)) {
        return;
    }
#endif
    (void)std::printf("%s", text.c_str());
}

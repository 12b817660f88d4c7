#include <cstddef>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "app/system.hpp"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#else
#include <unistd.h>
#endif

namespace {

// C0 controls (tab, CR and newline among them), DEL and C1 controls: on a
// terminal each starts or is part of a command (ESC ] retitles the window,
// 0x9B is a one-byte CSI), so a name shows them as text.
bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

template <class Text>
void append_escape(Text& out, unsigned value) {
    constexpr const char* digits = "0123456789ABCDEF";
    const char escape[] = {'\\', 'x', digits[(value >> 4) & 0xF], digits[value & 0xF]};
    out.append(std::begin(escape), std::end(escape));
}

#ifdef _WIN32
// The same test that decides how a line is written: a console, not a file or a
// pipe.
bool output_is_terminal() {
    DWORD mode = 0;
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    return console != INVALID_HANDLE_VALUE && console != nullptr && GetConsoleMode(console, &mode) != 0;
}

// A console shows bytes in its own output code page (the OEM one, 437, 850,
// 866, ..., unless the user changed it), not in the code page the names came
// in; as UTF-16 through WriteConsoleW it shows them as typed. A name's control
// characters are those of the text read in its code page: in 1252 the bytes
// 0x80 to 0x9F are letters and marks such as ’, and stay.
bool write_to_console(std::initializer_list<ConsoleText> line) {
    std::wstring shown;
    for (const ConsoleText& piece : line) {
        if (piece.text.empty()) continue;
        const auto wide = widen_name(piece.text);
        if (!wide) return false;
        for (const wchar_t c : *wide) {
            if (piece.is_name && is_control(c)) {
                append_escape(shown, c);
                continue;
            }
            if (c == L'\n') {
                shown.push_back(L'\r');  // the newline of the stream's text mode
            }
            shown.push_back(c);
        }
    }
    if (shown.size() > static_cast<std::size_t>(INT_MAX)) return false;
    (void)std::fflush(stdout);  // keeps the order with anything written through the stream
    DWORD written = 0;
    (void)WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), shown.data(), static_cast<DWORD>(shown.size()),
                        &written, nullptr);
    return true;
}
#else
bool output_is_terminal() { return isatty(STDOUT_FILENO) == 1; }
#endif

// The code point of the well-formed UTF-8 character that `text` starts with,
// and its length in bytes. A byte that starts none stands for itself, so that
// a lone 0x9B counts as the C1 control a terminal takes it for.
std::pair<char32_t, std::size_t> next_character(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length <= 1 || text.size() < length) return {lead, 1};
    char32_t code = lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0U) != 0x80) return {lead, 1};
        code = (code << 6) | (byte(i) & 0x3FU);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};  // shorter forms are overlong
    if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return {lead, 1};
    return {code, length};
}

// A name as bytes for a terminal: each byte of a control character as \xHH
// (a UTF-8 C1 control gives two), every other byte as it is.
void append_visible(std::string& out, std::string_view name) {
    while (!name.empty()) {
        const auto [code, length] = next_character(name);
        for (std::size_t i = 0; i < length; ++i) {
            if (is_control(code)) {
                append_escape(out, static_cast<unsigned char>(name[i]));
            } else {
                out.push_back(name[i]);
            }
        }
        name.remove_prefix(length);
    }
}

}  // namespace

void print_console(std::initializer_list<ConsoleText> line) {
    const bool terminal = output_is_terminal();
#ifdef _WIN32
    if (terminal && write_to_console(line)) return;
#endif
    std::string bytes;
    for (const ConsoleText& piece : line) {
        if (terminal && piece.is_name) {
            append_visible(bytes, piece.text);
        } else {
            bytes.append(piece.text);
        }
    }
    (void)std::printf("%s", bytes.c_str());
}

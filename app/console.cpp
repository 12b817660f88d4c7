#include <cstddef>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>

#include "app/system.hpp"
#include "app/utf8.hpp"

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
// 866, ..., unless the user changed it); as UTF-16 through WriteConsoleW it
// shows every name as typed.
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

// A file or a pipe gets a name in the ANSI code page, as a program that reads
// its arguments in that code page prints them: UTF-8 under the manifest on
// Windows 10 1903 and later, 1252 in western Europe before. A name that the
// code page cannot hold goes as UTF-8, never as a look-alike.
std::string in_code_page(std::string_view name) {
    const auto wide = widen_name(name);
    if (GetACP() == CP_UTF8 || !wide || wide->size() > static_cast<std::size_t>(INT_MAX)) {
        return std::string(name);
    }
    const int wide_size = static_cast<int>(wide->size());
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), wide_size, nullptr, 0,
                                         nullptr, &lossy);
    if (size <= 0 || lossy != FALSE) return std::string(name);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), wide_size, bytes.data(), size,
                            nullptr, &lossy) != size ||
        lossy != FALSE) {
        return std::string(name);
    }
    return bytes;
}
#else
bool output_is_terminal() { return isatty(STDOUT_FILENO) == 1; }
#endif

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
#ifdef _WIN32
        } else if (piece.is_name) {
            bytes.append(in_code_page(piece.text));
#endif
        } else {
            bytes.append(piece.text);
        }
    }
    (void)std::printf("%s", bytes.c_str());
}

#ifdef _WIN32
bool console_of_its_own() {
    DWORD processes[2];
    DWORD mode = 0;
    // Under Wine the console is the terminal that started the program, which
    // stays open after it.
    const HMODULE system = GetModuleHandleW(L"ntdll.dll");
    const bool wine = system != nullptr && GetProcAddress(system, "wine_get_version") != nullptr;
    return !wine && GetConsoleProcessList(processes, 2) == 1 &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void wait_for_a_key() {
    print_console({"\nPress a key to close this window."});
    (void)std::fflush(stdout);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    (void)FlushConsoleInputBuffer(input);
    // A key press, not its release or a mouse move, ends the wait.
    INPUT_RECORD event{};
    DWORD read = 0;
    while (ReadConsoleInputW(input, &event, 1, &read) != 0 && read == 1) {
        if (event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown != 0) break;
    }
}
#endif

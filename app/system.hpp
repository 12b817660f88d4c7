// What the driver asks of the operating system beyond standard C++: names as
// the system reads them, what a stream is on, the output opened under its
// guards, and the console.
// Each platform's answer stands beside the others in one small file.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#ifdef _WIN32
// A Windows name (UTF-16) as the program holds it, in UTF-8 (a lone surrogate
// as its own three bytes), and back: exact both ways. widen_name gives none
// for text that is not so encoded, or empty.
std::string narrow_name(std::wstring_view wide);
std::optional<std::wstring> widen_name(std::string_view text);

// Explorer started the program in a console window of its own, which closes
// when the program ends: not a console shared with a shell, and not a file,
// pipe or no console at all.
bool console_of_its_own();
// Asks for a key and waits for it, so that the window can be read.
void wait_for_a_key();
#endif

// fopen, with no length limit on Windows: the name goes to the system as
// UTF-16, so folders past 260 characters open where long paths are on.
std::FILE* open_file(const std::string& name, const char* mode);

// What an open stream is on. Asked of the stream itself, never of its name,
// which may lead somewhere else by now (a rename, a changed link).
enum class FileKind {
    regular_file,
    folder,
    other,  // a FIFO, a device, a console, or a stream the system cannot tell
};
FileKind opened_kind(std::FILE* stream);

// Opens the output name for writing, as "wb" would, but decides first, on the
// file that was opened, whether it may be written: never when it is the file
// the input stream was opened on (the same file, FIFO or device, reached
// through a hard or symbolic link), which would be emptied or wait for
// itself; never when standard output was sent into it (a shell's
// `> kordimalen-IN`), whose lines would be written over the recording. A
// character device such as /dev/null takes both. Only then is a regular file
// that holds bytes emptied. The name is looked up once, so a name that changes
// meanwhile cannot lead the emptying to the input. nullptr when it cannot be
// opened or must not be written.
std::FILE* open_output(const std::string& name, std::FILE* input);

// A piece of a console line: the program's own text, or a name as the user
// gave it.
struct ConsoleText {
    // Implicit, so that a line is written as a list of its literals and names.
    // cppcheck-suppress noExplicitConstructor
    ConsoleText(const char* own) : text(own) {}
    // cppcheck-suppress noExplicitConstructor
    ConsoleText(const std::string& own) : text(own) {}
    ConsoleText(std::string_view piece, bool name) : text(piece), is_name(name) {}
    std::string_view text;
    bool is_name = false;
};

inline ConsoleText given_name(std::string_view name) { return {name, true}; }

// Writes a console line. Standard output that is a file or a pipe gets the
// bytes as they are (names in the code page they arrived in); a Windows
// console gets the text through its Unicode interface, so that every name is
// shown as typed whatever the console's code page. On a terminal or console
// the control characters of a name (C0, DEL, C1) are shown as \xHH, so that a
// name cannot retitle, clear or talk back through the user's terminal. A
// console that cannot be written to has nowhere to report that, so the result
// is dropped; the exit status still tells the outcome.
void print_console(std::initializer_list<ConsoleText> line);

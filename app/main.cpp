#include <csignal>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/system.hpp"

#ifdef __MINGW32__
// cmd.exe passes wildcard patterns on as typed; have the runtime's start-up
// expand them into the matching names, as a POSIX shell does.
int _dowildcard = -1;
#endif

namespace {

#ifdef _WIN32
std::string as_name(const wchar_t* argument) { return narrow_name(argument); }
#else
std::string as_name(const char* argument) { return argument; }
#endif

template <class Char>
int run(int argc, Char** argv) {
#ifdef SIGPIPE
    // An output or console whose reader went away (a FIFO, a pipe) would
    // otherwise kill the program in the middle of a write. Ignored, the write
    // fails like any other: the output's as a write failure, the console's
    // without changing the exit status.
    (void)std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    // Likewise a write past the file-size limit (ulimit -f): ignored, it fails
    // with EFBIG and is a write failure like a full disk, with its line.
    (void)std::signal(SIGXFSZ, SIG_IGN);
#endif
    // The conversion throws nothing; a failed allocation in the standard
    // library is the one exception left, and it ends the run as a failure,
    // not as an abort.
    try {
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) arguments.push_back(as_name(argv[i]));
        return run_conversion(arguments);
    } catch (...) {
        return exit_failure;
    }
}

}  // namespace

#ifdef _WIN32
// The arguments as the system holds them, in UTF-16: every name reaches the
// program whole on every Windows, whatever its code page.
int wmain(int argc, wchar_t** argv) {
    // Double-clicked, or recordings dropped on it: the window would close
    // before anyone could read it.
    const bool window_of_its_own = console_of_its_own();
    const int status = run(argc, argv);
    if (window_of_its_own) {
        print_console(
            {"\n\nkordimalen is a console program: it converts the recording named after it\n"
             "in a Command Prompt or PowerShell window. To convert recordings from\n"
             "Explorer, drop them on kordimalen-drop.exe, which stands beside it.\n"});
        wait_for_a_key();
    }
    return status;
}
#else
int main(int argc, char** argv) { return run(argc, argv); }
#endif

#include <csignal>

#include "app/driver.hpp"

#ifdef __MINGW32__
// cmd.exe passes wildcard patterns on as typed; have the runtime's start-up
// expand them into the matching names, as a POSIX shell does.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
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
        return run_conversion(argc, argv);
    } catch (...) {
        return exit_failure;
    }
}

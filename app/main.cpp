#include "app/driver.hpp"

#ifdef __MINGW32__
// cmd.exe passes wildcard patterns on as typed; have the runtime's start-up
// expand them into the matching names, as a POSIX shell does.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) {
    // The conversion throws nothing; a failed allocation in the standard
    // library is the one exception left, and it ends the run as a failure,
    // not as an abort.
    try {
        return run_conversion(argc, argv);
    } catch (...) {
        return exit_failure;
    }
}

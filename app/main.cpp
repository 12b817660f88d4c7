#include "app/driver.hpp"

#ifdef __MINGW32__
// cmd.exe passes wildcard patterns on as typed; have the runtime's start-up
// expand them into the matching names, as a POSIX shell does.
int _dowildcard = -1;
#endif

int main(int argc, char** argv) { return run_conversion(argc, argv); }

// Runs a program as the child of this small process and writes the child's
// peak resident memory, in KiB, into a file. A child forked from a large
// process (a test runner) starts its count at that process's size; one forked
// from here starts at this one's, a few hundred KiB.
//
//   peak_memory FILE PROGRAM [ARGUMENT...]
//
// Exit status: the program's, or 125 when it could not be run or measured.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) return 125;
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return 125;
#ifdef __APPLE__
    const long kib = usage.ru_maxrss / 1024;  // bytes there
#else
    const long kib = usage.ru_maxrss;
#endif
    std::FILE* figure = std::fopen(argv[1], "w");
    if (figure == nullptr || std::fprintf(figure, "%ld\n", kib) < 0 || std::fclose(figure) != 0) return 125;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

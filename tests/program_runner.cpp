#include "program_runner.hpp"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("kordimalen-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

Bytes read_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

RunResult convert_file(const ScratchDir& dir, const std::string& name, const Bytes& input) {
    write_file(dir / name, input);
    return run_converter(dir, {name});
}

::testing::AssertionResult succeeded(const RunResult& r, const std::string& argument) {
    if (r.exit_code == 0 && r.out == banner(argument) && r.err.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "status " << r.exit_code << ", stdout \"" << r.out << "\", stderr \"" << r.err << "\"";
}

std::string banner(const std::string& argument) {
    return "\n Convert " + argument + " to Kordimalen format (kordimalen-" + argument + ")\n\n";
}

#ifdef _WIN32
static std::string read_text(const fs::path& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

// Through cmd.exe, as a user would run it: cmd passes wildcards on unexpanded.
RunResult run_converter(const ScratchDir& dir, const std::vector<std::string>& args,
                        const RunOptions& options) {
    const fs::path out_path = dir.path().string() + ".stdout";
    const fs::path err_path = dir.path().string() + ".stderr";
    const std::string exe = fs::path(options.program).make_preferred().string();
    std::string command = "cd /d \"" + dir.path().string() + "\" && \"" + exe + "\"";
    for (const std::string& a : args)
        command += a.find('*') == std::string::npos ? " \"" + a + "\"" : " " + a;
    const fs::path console = options.console_file.empty() ? out_path : dir.path() / options.console_file;
    command += (options.append ? " >>\"" : " >\"") + console.string() + "\" 2>\"" + err_path.string() + "\"";
    RunResult result;
    // Under Wine the launch itself now and then fails: cmd.exe's 9009 ("not
    // recognized as a command"), or cmd.exe never ran, so that the console
    // file its `>` makes before the program starts is missing. The program
    // never returns 9009, and without that file it never ran, so another try
    // cannot hide one of its faults.
    constexpr int command_not_found = 9009;
    const bool console_existed = fs::exists(console);
    for (int attempt = 0; attempt < 3; ++attempt) {
        result.exit_code = std::system(command.c_str());
        if (result.exit_code != command_not_found && (console_existed || fs::exists(console))) break;
    }
    result.raw_out = read_text(console);
    for (char c : result.raw_out) {
        if (c != '\r') result.out.push_back(c);
    }
    result.err = read_text(err_path);
    std::error_code ignored;
    fs::remove(out_path, ignored);
    fs::remove(err_path, ignored);
    return result;
}
#else
// Standard output and error come back through pipes, which a file size limit
// does not touch. The program starts as a shell starts it: every signal at its
// default and none blocked, whatever the test process does. Under an emulator
// the program is started through it, as the tests are.
RunResult run_converter(const ScratchDir& dir, const std::vector<std::string>& args,
                        const RunOptions& options) {
    int out_pipe[2];
    int err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe");
    // Closed before the fork, so that no process holds a reader.
    if (options.console_gone) close(out_pipe[0]);
    const bool to_file = !options.console_file.empty();
    const fs::path console = dir.path() / options.console_file;
    // A console user's standard output: a pseudo-terminal in place of the
    // pipe, with no output processing (no CR put before a newline), so that
    // its other side reads the bytes as the program wrote them.
    if (options.terminal) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        termios mode{};
        out_pipe[0] = posix_openpt(O_RDWR | O_NOCTTY);
        if (out_pipe[0] < 0 || grantpt(out_pipe[0]) != 0 || unlockpt(out_pipe[0]) != 0 ||
            (out_pipe[1] = open(ptsname(out_pipe[0]), O_RDWR | O_NOCTTY)) < 0 ||
            tcgetattr(out_pipe[1], &mode) != 0)
            throw std::runtime_error("pseudo-terminal");
        mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        if (tcsetattr(out_pipe[1], TCSANOW, &mode) != 0) throw std::runtime_error("pseudo-terminal");
    }
    // Made before the fork: the child of a process that may have other threads
    // calls only what is safe after a fork, and allocates nothing.
    std::vector<char*> argv;
#ifdef KORDIMALEN_EMULATOR
    argv.push_back(const_cast<char*>(KORDIMALEN_EMULATOR));
#endif
    argv.push_back(const_cast<char*>(options.program));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int console_fd =
            to_file ? open(console.c_str(), O_WRONLY | O_CREAT | (options.append ? O_APPEND : O_TRUNC), 0644)
                    : out_pipe[1];
        if (console_fd < 0 || dup2(console_fd, 1) < 0 || dup2(err_pipe[1], 2) < 0 ||
            chdir(dir.path().c_str()) != 0)
            _exit(127);
        if (!options.console_gone) close(out_pipe[0]);
        close(err_pipe[0]);
        for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (options.file_size_limit != no_file_size_limit) {
            const auto cap = static_cast<rlim_t>(options.file_size_limit);
            const rlimit limit{cap, cap};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    RunResult result;
    pollfd fds[2] = {{options.console_gone ? -1 : out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
    for (int open_pipes = options.console_gone ? 1 : 2; open_pipes > 0;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) kill(child, SIGKILL);
        if (poll(fds, 2, left.count() <= 0 ? -1 : static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_pipes;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (to_file) {
        const Bytes b = read_file(console);
        result.out.assign(b.begin(), b.end());
    }
    result.raw_out = result.out;
    return result;
}
#endif

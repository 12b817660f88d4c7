#include "program_runner.hpp"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
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

static std::string read_text(const fs::path& path) {
    const Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

std::string banner(const std::string& argument) {
    return "\n Convert " + argument + " to Kordimalen format (kordimalen-" + argument + ")\n\n";
}

RunResult run_converter(const ScratchDir& dir, const std::vector<std::string>& args) {
    // Captures go beside the scratch directory so that they are not inputs.
    const fs::path out_path = dir.path().string() + ".stdout";
    const fs::path err_path = dir.path().string() + ".stderr";
    RunResult result;
#ifdef _WIN32
    std::string command = "cd /d \"" + dir.path().string() + "\" && \"" KORDIMALEN_EXE "\"";
    for (const std::string& a : args) command += " \"" + a + "\"";
    command += " >\"" + out_path.string() + "\" 2>\"" + err_path.string() + "\"";
    result.exit_code = std::system(command.c_str());
#else
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir.path().c_str()) != 0) {
            _exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(KORDIMALEN_EXE)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KORDIMALEN_EXE, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
    result.out = read_text(out_path);
    result.err = read_text(err_path);
    std::error_code ignored;
    fs::remove(out_path, ignored);
    fs::remove(err_path, ignored);
    return result;
}

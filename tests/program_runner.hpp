// Runs the built converter in a scratch directory and captures what it did.
#pragma once

#include <cstdint>
#include <filesystem>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "wave_bytes.hpp"

struct RunResult {
    int exit_code = -1;
    std::string out;      // standard output, with the platform's newlines as \n
    std::string raw_out;  // standard output, byte for byte
    std::string err;      // standard error, which must stay empty
};

// A fresh directory per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // Names are UTF-8, as the program takes them.
    std::filesystem::path operator/(const std::string& name) const {
        return path_ / std::u8string(name.begin(), name.end());
    }

private:
    std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, const Bytes& bytes);
Bytes read_file(const std::filesystem::path& path);

inline constexpr std::uint64_t no_file_size_limit = UINT64_MAX;
#if __has_include(<sys/resource.h>)
#define KORDIMALEN_CAN_CAP_FILE_SIZES 1  // with setrlimit
#endif
// The program's own memory, not an emulator's around it.
#if defined(KORDIMALEN_PEAK_MEMORY_EXE) && !defined(KORDIMALEN_EMULATOR)
#define KORDIMALEN_CAN_MEASURE_MEMORY 1  // with tests/peak_memory.cpp
#endif

struct RunOptions {
    // Caps every file the converter writes at that many bytes (where
    // KORDIMALEN_CAN_CAP_FILE_SIZES), as a full disk would: writes past it fail.
    std::uint64_t file_size_limit = no_file_size_limit;
    // Standard output is a pipe whose reader has gone (POSIX only).
    bool console_gone = false;
    // When set, standard output goes to this file (in `dir` unless absolute),
    // as a shell's `>` or, with `append`, `>>` sends it; `out` is then what
    // the file holds afterwards.
    std::string console_file{};
    bool append = false;
    // Standard output is a pseudo-terminal, as a console user's is, that
    // passes the bytes on unchanged (POSIX only).
    bool terminal = false;
    const char* program = KORDIMALEN_EXE;
    // A run still going then is killed, so that a hang fails its test (POSIX).
    int seconds = 300;
};

// Runs the converter with these arguments (no program name) in `dir`.
RunResult run_converter(const ScratchDir& dir, const std::vector<std::string>& args,
                        const RunOptions& options = {});

// The converter's banner for an argument.
std::string banner(const std::string& argument);

// Writes `input` as `name` in `dir` and converts it.
RunResult convert_file(const ScratchDir& dir, const std::string& name, const Bytes& input);

// Success: status 0, the banner alone on standard output, nothing on standard
// error.
::testing::AssertionResult succeeded(const RunResult& r, const std::string& argument);

#!/usr/bin/env python3
"""Removes each check of a write, seek or close result from the program, one at
a time, rebuilds, and runs the test suite: every such change must make a test
fail. Also a few behaviour changes that the tests must notice.

    tests/check_mutations.py [NAME_PART ...]

Builds in build/mutation; all of them take about 5 minutes on a 2-core
machine. Exits 1 when a change survives that is not listed as equivalent, or
when a change no longer applies because the code moved on (then update the
list below).
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutation")

# The 4-byte RIFF size write after the seek lands in the stream buffer that the
# seek has just emptied: it cannot fail there, and if it ever did, the close
# would report it. Dropping its check changes nothing a test could see.
EQUIVALENT = {"RIFF size write"}


def ignore(call):
    return f"({call}, true)"


MUTATIONS = [
    ("write unit result", "wave/stream.cpp", "return written == size;", "return true;"),
    ("block copy write", "wave/stream.cpp", "!write_unit(state, block, got)", "(write_unit(state, block, got), false)"),
    ("RIFF size seek", "wave/stream.cpp", "std::fseek(state.output, riff_size_offset, SEEK_SET) == 0",
     ignore("std::fseek(state.output, riff_size_offset, SEEK_SET)")),
    ("RIFF size write", "wave/stream.cpp", "write_unit(state, field, sizeof field);",
     ignore("write_unit(state, field, sizeof field)") + ";"),
    ("finish result", "wave/stream.cpp", "return close_output(state) && written;",
     "return close_output(state) && (written || true);"),
    ("error indicator at close", "wave/stream.cpp", "return intact && closed;", "return (intact || true) && closed;"),
    ("fclose result", "wave/stream.cpp", "return intact && closed;", "return intact && (closed || true);"),
    ("fmt tail copy", "wave/header.cpp", "case Transfer::write_failed: return Outcome::write_failure;",
     "case Transfer::write_failed: break;"),
    ("fmt pad write", "wave/chunks.cpp", "!write_unit(state, id, 1)", "(write_unit(state, id, 1), false)"),
    ("auxi write", "wave/chunks.cpp", "if (!auxi_write(record, state.output)) {",
     "if ((auxi_write(record, state.output), false)) {"),
    ("data ID write", "wave/chunks.cpp", '!write_unit(state, "data", 4)', '(write_unit(state, "data", 4), false)'),
    ("data size write", "wave/chunks.cpp", "!write_unit(state, data_size, 4)",
     "(write_unit(state, data_size, 4), false)"),
    ("sample copy write", "wave/chunks.cpp", "case Transfer::write_failed: return Outcome::write_failure;",
     "case Transfer::write_failed: return Outcome::success;"),
    ("finish after success", "wave/chunks.cpp",
     "return finish_output(state) ? Outcome::success : Outcome::write_failure;",
     "return (finish_output(state), Outcome::success);"),
    ("close after a header error", "wave/chunks.cpp",
     "return close_output(state) ? Outcome::header_error : Outcome::write_failure;",
     "return (close_output(state), Outcome::header_error);"),
    ("auxi write result", "auxi/auxi_record.cpp",
     "std::fwrite(image.data(), 1, image.size(), output) == image.size()",
     ignore("std::fwrite(image.data(), 1, image.size(), output)")),
    ("fmt pad not copied", "wave/chunks.cpp", "? Pad::copy : Pad::none", "? Pad::skip : Pad::none"),
    ("folder as input", "app/driver.cpp", "opened_kind(state.input) == FileKind::folder", "false"),
    ("output kind asked of the input", "app/driver.cpp", "opened_kind(state.output) == FileKind::regular_file",
     "opened_kind(state.input) == FileKind::regular_file"),
    ("any output but a folder taken for a file", "app/open_output.cpp", "S_ISREG(opened.st_mode) ? FileKind::regular_file",
     "true ? FileKind::regular_file"),
    ("a buffer that grows with the input", "wave/stream.cpp",
     ("#include \"wave/little_endian.hpp\"", "        count -= got;"),
     ("#include \"wave/little_endian.hpp\"\n#include <vector>",
      "        count -= got;\n        static std::vector<unsigned char> kept;\n"
      "        kept.insert(kept.end(), block, block + got);")),
    ("RIFF size edge", "wave/stream.cpp", "length - 8 <= UINT32_MAX", "length - 8 < UINT32_MAX"),
    ("chunk IDs on 3 bytes", "wave/chunks.cpp", "std::memcmp(id, name, 4)", "std::memcmp(id, name, 3)"),
    ("reader gone kills", "app/main.cpp", "(void)std::signal(SIGPIPE, SIG_IGN);", "(void)0;"),
    ("output opened without following links", "app/open_output.cpp", "O_WRONLY | O_CREAT | O_NOCTTY",
     "O_WRONLY | O_CREAT | O_NOCTTY | O_NOFOLLOW"),
    ("output emptied before the guards", "app/open_output.cpp", "O_WRONLY | O_CREAT | O_NOCTTY",
     "O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY"),
    ("existing output not emptied", "app/open_output.cpp", "ftruncate(descriptor, 0) == 0", "true"),
    ("output that is the input", "app/open_output.cpp", "fstat(fileno(input), &other) == 0 && same_file(opened, other)",
     "false"),
    ("two nodes of one device", "app/open_output.cpp", "&& a.st_rdev == b.st_rdev", "&& false"),
    ("console into the output", "app/open_output.cpp",
     "!S_ISCHR(opened.st_mode) && fstat(STDOUT_FILENO, &other) == 0 && same_file(opened, other)", "false"),
    ("null device for both refused", "app/open_output.cpp", "known && !S_ISCHR(opened.st_mode) && fstat", "known && fstat"),
    ("file-size limit kills", "app/main.cpp", "(void)std::signal(SIGXFSZ, SIG_IGN);", "(void)0;"),
    ("read error as a header error", "wave/chunks.cpp",
     "outcome == Outcome::header_error && std::ferror(state.input) != 0", "false"),
    ("rate in 32 bits", "wave/chunks.cpp", "std::uint64_t{record.sample_rate} *",
     "std::uint32_t{record.sample_rate} *"),
    ("last hour held", "auxi/auxi_record.cpp", "if (hours > largest_hour) {",
     "if (total > largest_hour * seconds_per_hour) {"),
    ("console text as a printf format", "app/console.cpp", 'std::printf("%s", bytes.c_str())',
     "std::printf(bytes.c_str())"),
    ("names raw on a terminal", "app/console.cpp", "if (terminal && piece.is_name) {", "if (false) {"),
    ("names escaped when piped", "app/console.cpp", "const bool terminal = output_is_terminal();",
     "const bool terminal = true;"),
    ("UTF-8 letters escaped byte by byte", "app/console.cpp", "if (is_control(code)) {",
     "if (is_control(static_cast<unsigned char>(name[i]))) {"),
    ("lone C1 bytes passed", "app/utf8.hpp", "if (length <= 1 || text.size() < length) return {lead, 1};",
     "if (length <= 1 || text.size() < length) return {lead < 0x80 ? lead : 'x', 1};"),
    ("only block devices compared by number", "app/open_output.cpp",
     "const bool character_devices = S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode);", "const bool character_devices = false;"),
    ("any two device nodes compared by number", "app/open_output.cpp", "(block_devices || character_devices) &&",
     "(block_devices || character_devices || ((S_ISBLK(a.st_mode) || S_ISCHR(a.st_mode)) && "
     "(S_ISBLK(b.st_mode) || S_ISCHR(b.st_mode)))) &&"),
    ("inode compared without the device", "app/open_output.cpp", "a.st_dev == b.st_dev && a.st_ino == b.st_ino",
     "a.st_ino == b.st_ino"),
    ("names normalised lexically", "app/open_file.cpp",
     ("#include <sys/types.h>", "std::fopen(name.c_str(), mode)"),
     ("#include <sys/types.h>\n#include <filesystem>",
      "std::fopen(std::filesystem::path(name).lexically_normal().c_str(), mode)")),
    ("overlong forms taken as characters", "app/utf8.hpp", "if (code < smallest[length] || (", "if (("),
    ("surrogates taken as characters", "app/utf8.hpp", "(surrogate && !surrogates) || ", ""),
    ("continuation bytes not checked", "app/utf8.hpp", "if ((byte(i) & 0xC0U) != 0x80) return {lead, 1};",
     ""),
    ("U+00A0 taken for a control", "app/console.cpp", "c <= 0x9F", "c <= 0xA0"),
]
header = open(os.path.join(ROOT, "wave/header.cpp")).read()
for unit, size in re.findall(r"if \(!write_unit\(state, (\w+), (\d)\)\) return Outcome::write_failure;", header):
    MUTATIONS.append((f"header write of {unit}", "wave/header.cpp",
                      f"if (!write_unit(state, {unit}, {size})) return Outcome::write_failure;",
                      f"(void)write_unit(state, {unit}, {size});"))


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, errors="replace", **options)


def main():
    wanted = sys.argv[1:]
    if run("cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release").returncode != 0:
        sys.exit("cannot configure " + BUILD)
    bad = 0
    for name, path, old, new in MUTATIONS:
        if wanted and not any(w in name for w in wanted):
            continue
        file = os.path.join(ROOT, path)
        original = open(file).read()
        # One change, or a tuple of changes made together.
        changes = list(zip(old, new)) if isinstance(old, tuple) else [(old, new)]
        if any(original.count(o) != 1 for o, _ in changes):
            print(f"stale     {name}: the text to change is not in {path} once")
            bad += 1
            continue
        mutated = original
        for o, n in changes:
            mutated = mutated.replace(o, n)
        try:
            open(file, "w").write(mutated)
            if run("cmake", "--build", BUILD, "-j", "2").returncode != 0:
                print(f"no build  {name}")
                bad += 1
                continue
            tests = run(os.path.join(BUILD, "tests", "kordimalen_tests"), "--gtest_brief=1", cwd=BUILD)
        finally:
            open(file, "w").write(original)
        failed = sorted(set(re.findall(r"\[  FAILED  \] (\S+?),? ", tests.stdout + " ")))
        if tests.returncode != 0:
            print(f"caught    {name}: {', '.join(failed[:2])}{' ...' if len(failed) > 2 else ''}")
        elif name in EQUIVALENT:
            print(f"equal     {name} (changes nothing a test can see, see EQUIVALENT)")
        else:
            print(f"SURVIVED  {name}")
            bad += 1
    run("cmake", "--build", BUILD, "-j", "2")
    print(f"mutations: {bad} not caught")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Static checks of the program's code: clang-format on every C++ file,
# clang-tidy (checks in .clang-tidy) and cppcheck on app/, wave/ and auxi/.
# Suppressions stand, with their reasons, in .clang-tidy and beside the lines.
#
#   tests/static_checks.sh BUILD_DIR   (a build configured with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
sources=(app/*.cpp wave/*.cpp auxi/*.cpp)

echo "-- clang-format"
git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror

echo "-- clang-tidy"
notes=$(mktemp)
trap 'rm -f "$notes"' EXIT
clang-tidy --quiet -p "$build" "${sources[@]}" 2> "$notes"
grep -v "warnings generated" "$notes" >&2 || true

echo "-- cppcheck"
cppcheck --enable=warning,style,performance,portability --std=c++20 --inline-suppr \
         --error-exitcode=1 --quiet -I . app wave auxi
echo "static checks: 3 passed, 0 failed"

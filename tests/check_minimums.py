#!/usr/bin/env python3
"""Fails when CMakePresets.json or a cmake_minimum_required of the project asks
for a newer CMake than the minimum that the README states ("CMake X.Y or
newer"), so that a minimum never goes up unannounced.

    tests/check_minimums.py
"""
import json
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The CMake release that first reads each presets file version.
PRESETS_VERSION_CMAKE = {1: (3, 19), 2: (3, 20), 3: (3, 21), 4: (3, 23), 5: (3, 24), 6: (3, 25),
                         7: (3, 27), 8: (3, 28), 9: (3, 30), 10: (3, 31)}


def version(text):
    return tuple(int(part) for part in text.split(".")[:2])


def main():
    readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    stated = re.search(r"CMake\s+(\d+\.\d+)\s+or\s+newer", readme)
    if not stated:
        sys.exit("the README states no CMake minimum")
    stated = version(stated.group(1))
    asked = []
    presets = json.load(open(os.path.join(ROOT, "CMakePresets.json")))
    asked.append(("CMakePresets.json version %d" % presets["version"],
                  PRESETS_VERSION_CMAKE.get(presets["version"], (99, 0))))
    required = presets.get("cmakeMinimumRequired", {})
    asked.append(("CMakePresets.json cmakeMinimumRequired",
                  (required.get("major", 0), required.get("minor", 0))))
    files = subprocess.run(["git", "-C", ROOT, "ls-files", "*CMakeLists.txt", "*.cmake", "*.cmake.in"],
                           capture_output=True, text=True, check=True).stdout.split()
    for name in files:
        for found in re.findall(r"cmake_minimum_required\s*\(\s*VERSION\s+([\d.]+)",
                                open(os.path.join(ROOT, name)).read(), re.IGNORECASE):
            asked.append((name, version(found)))
    too_new = [(what, v) for what, v in asked if v > stated]
    for what, v in too_new:
        print("%s asks for CMake %d.%d; the README states %d.%d" % (what, *v, *stated))
    print("minimums: %d passed, %d failed" % (len(asked) - len(too_new), len(too_new)))
    sys.exit(1 if too_new else 0)


if __name__ == "__main__":
    main()

# The test run of a build configured without GoogleTest: it fails, and says why.
message(FATAL_ERROR "The tests were not built: GoogleTest was not found when this build was configured. "
                    "Install it (Debian: apt-get install libgtest-dev googletest), then run the test command again.")

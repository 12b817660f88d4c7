#!/bin/sh
# Prints the one command block of the README that holds a line matching an
# extended regular expression, without the block's indentation. A block is a
# run of lines indented by 4 or more spaces after a blank line, up to the next
# blank or less indented line, so that the sentences around it may be worded
# freely. No block, or two, is an error that names the pattern: a check never
# runs nothing, or the wrong lines.
#
#   tests/readme_block.sh PATTERN
set -eu
readme=$(dirname "$0")/../README.md
PATTERN=$1 awk '
  function close_block() {
    if (indent && matched) { found++; text = block }
    indent = 0; matched = 0; block = ""
  }
  /^[ ]*$/ { close_block(); blank = 1; next }
  {
    match($0, /^ */)
    if (indent && RLENGTH < indent) close_block()
    if (!indent && blank && RLENGTH >= 4) indent = RLENGTH
    blank = 0
    if (!indent) next
    line = substr($0, indent + 1)
    block = block line "\n"
    if (line ~ ENVIRON["PATTERN"]) matched = 1
  }
  END {
    close_block()
    if (found != 1) {
      printf "the README has %d command blocks with a line matching /%s/, not 1\n",
             found, ENVIRON["PATTERN"] > "/dev/stderr"
      exit 1
    }
    printf "%s", text
  }' "$readme"

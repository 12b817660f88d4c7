#!/bin/sh
# Prints the one command block of the README that holds a line matching an
# extended regular expression, without the block's indentation. A block is a
# run of lines indented by 4 or more spaces after a blank line, up to the next
# blank or less indented line, so that the sentences around it may be worded
# freely. No block, or two, is an error that names the pattern: a check never
# runs nothing, or the wrong lines.
#
# With --section, prints every command block of the section headed "## TITLE"
# in order, as a reader pastes them one after the other; a section without
# one is an error.
#
# With --in FILE (a path from the project folder), reads that document
# instead, such as doc/DEVELOPING.md.
#
#   tests/readme_block.sh [--in FILE] PATTERN
#   tests/readme_block.sh [--in FILE] --section TITLE
set -eu
readme=$(dirname "$0")/../README.md
if [ "$1" = --in ]; then
  readme=$(dirname "$0")/../$2
  shift 2
fi
if [ "$1" = --section ]; then
  section=$2 pattern=
else
  section= pattern=$1
fi
SECTION=$section PATTERN=$pattern awk '
  BEGIN { section = ENVIRON["SECTION"] }
  function close_block() {
    if (indent && section != "" && inside) { found++; text = text block }
    if (indent && section == "" && matched) { found++; text = block }
    indent = 0; matched = 0; block = ""
  }
  /^## / { close_block(); inside = (substr($0, 4) == section); blank = 0; next }
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
    if (section != "" && !found) {
      printf "%s has no command block in a section \"## %s\"\n", FILENAME, section > "/dev/stderr"
      exit 1
    }
    if (section == "" && found != 1) {
      printf "%s has %d command blocks with a line matching /%s/, not 1\n",
             FILENAME, found, ENVIRON["PATTERN"] > "/dev/stderr"
      exit 1
    }
    printf "%s", text
  }' "$readme"

# Makes the zip's README.txt from README.md, so that the two never differ on
# what they share: the introduction's first paragraph, then the sections a
# Windows user reads, as plain text with CR LF line ends. Nothing about
# building from source goes in, and no link that would lead out of the zip.
#
# Included by cmake/packaging.cmake, which calls windows_readme(README.md OUTPUT).
function(windows_readme readme_path output_path)
  set(sections
      "Windows"
      "Console messages and exit status"
      "Recordings from other tools"
      "Where it goes beyond a literal byte copy"
      "The receiver metadata")

  file(READ ${readme_path} readme)
  # Lines as a list: brackets, backslashes and semicolons kept as they are.
  string(REPLACE "\\" "<backslash>" readme "${readme}")
  string(REPLACE "[" "<open>" readme "${readme}")
  string(REPLACE "]" "<close>" readme "${readme}")
  string(REPLACE ";" "<semicolon>" readme "${readme}")
  string(REPLACE "\n" ";" lines "${readme}")

  set(title "kordimalen\n==========\n\n")
  set(intro_text "")
  set(part intro)  # intro, the index of a wanted section, or skip
  foreach(line IN LISTS lines)
    if(line MATCHES "^# ")
      continue()
    elseif(line MATCHES "^## (.*)$")
      set(heading ${CMAKE_MATCH_1})
      list(FIND sections "${heading}" part)
      if(part EQUAL -1)
        set(part skip)
      else()
        string(LENGTH "${heading}" width)
        string(REPEAT "-" ${width} underline)
        set(section_${part} "\n${heading}\n${underline}\n")
      endif()
    elseif(part STREQUAL "intro")
      if(line STREQUAL "" AND NOT intro_text STREQUAL "")
        set(part skip)  # the first paragraph alone
      elseif(NOT line STREQUAL "")
        string(APPEND intro_text "${line}\n")
      endif()
    elseif(NOT part STREQUAL "skip")
      string(APPEND section_${part} "${line}\n")
    endif()
  endforeach()
  # In the order above, whatever the order in README.md.
  set(text "${title}${intro_text}")
  list(LENGTH sections count)
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    if(NOT DEFINED section_${index})
      list(GET sections ${index} missing)
      message(FATAL_ERROR "README.md has no section \"## ${missing}\" for README.txt")
    endif()
    string(APPEND text "${section_${index}}")
  endforeach()
  string(APPEND text "\nkordimalen is free software under the MIT licence: see LICENSE.txt.\n")

  # Markdown to plain text: a link to a section becomes its words, bold its words.
  string(REGEX REPLACE "<open>([^<]*)<close>\\(#[a-z0-9-]*\\)" "\\1" text "${text}")
  string(REPLACE "**" "" text "${text}")
  string(REPLACE "<open>" "[" text "${text}")
  string(REPLACE "<close>" "]" text "${text}")
  string(REPLACE "<semicolon>" ";" text "${text}")
  string(REPLACE "<backslash>" "\\" text "${text}")
  string(REGEX REPLACE "\n\n\n+" "\n\n" text "${text}")

  if(text MATCHES "\\]\\(")
    message(FATAL_ERROR "README.txt would hold a link out of the zip: rewrite it in README.md's Windows sections")
  endif()
  string(TOLOWER "${text}" lower_text)
  foreach(word cmake apt-get sudo dnf cpack)
    if(lower_text MATCHES "(^|[^a-z])${word}([^a-z]|$)")
      message(FATAL_ERROR "README.txt would tell about building from source (${word}): keep it out of README.md's Windows sections")
    endif()
  endforeach()

  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${output_path} "${text}")
endfunction()

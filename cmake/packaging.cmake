# Installation and packages: a .deb and an .rpm on Linux, a .zip on Windows,
# and the source release. Included by the top-level CMakeLists.txt.
#
# The version is the project's; the release date is that of the newest entry
# of doc/changelog (Debian's changelog format), which also gives the packages
# their changelogs.
include(GNUInstallDirs)

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS doc/changelog LICENSE)
file(STRINGS ${PROJECT_SOURCE_DIR}/doc/changelog changelog_lines)

# Debian's changelog to the RPM's: each entry's header, items and trailer. The
# newest entry gives the version it is for and the release date.
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(rpm_changelog "")
set(items "")
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^[a-z0-9]+ \\(([^)]*)\\)")
    set(entry_version ${CMAKE_MATCH_1})
    if(NOT DEFINED changelog_version)
      set(changelog_version ${entry_version})
    endif()
  elseif(line MATCHES "^  \\* (.*)")
    string(APPEND items "- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^    (.*)")
    string(APPEND items "  ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ -- (.*>)  ([A-Z][a-z][a-z]), ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+)")
    set(rpm_date "${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} ${CMAKE_MATCH_5}")
    string(APPEND rpm_changelog "* ${rpm_date} ${CMAKE_MATCH_1} - ${entry_version}-1\n${items}\n")
    if(NOT DEFINED KORDIMALEN_RELEASE_DATE)
      list(FIND months ${CMAKE_MATCH_4} month)
      math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
      if(month LESS 10)
        set(month 0${month})
      endif()
      set(KORDIMALEN_RELEASE_DATE "${CMAKE_MATCH_5}-${month}-${CMAKE_MATCH_3}")
    endif()
    set(items "")
  endif()
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/rpm-changelog "${rpm_changelog}")
if(NOT changelog_version STREQUAL PROJECT_VERSION)
  message(WARNING "doc/changelog's newest entry is for version ${changelog_version}, "
                  "the project is ${PROJECT_VERSION}: add an entry for this version.")
endif()

# The manual page carries the version and the release date.
configure_file(${PROJECT_SOURCE_DIR}/doc/kordimalen.1.in ${PROJECT_BINARY_DIR}/kordimalen.1 @ONLY)

if(WIN32)
  # The program and the documents a Windows user opens with a double click,
  # unzipped straight into the folder that goes on PATH.
  install(TARGETS kordimalen kordimalen-drop RUNTIME DESTINATION .)
  # README.txt, written for Windows users, and the manual page as MANUAL.txt:
  # plain text with CR LF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  find_program(GROFF groff)
  if(GROFF)
    add_custom_command(OUTPUT MANUAL.txt
                       COMMAND ${CMAKE_COMMAND} -DGROFF=${GROFF} -DPAGE=${PROJECT_BINARY_DIR}/kordimalen.1
                               -DOUTPUT=${PROJECT_BINARY_DIR}/MANUAL.txt -P ${PROJECT_SOURCE_DIR}/cmake/windows_manual.cmake
                       DEPENDS ${PROJECT_BINARY_DIR}/kordimalen.1 ${PROJECT_SOURCE_DIR}/cmake/windows_manual.cmake
                       VERBATIM)
    add_custom_target(windows_manual ALL DEPENDS MANUAL.txt)
    install(FILES ${PROJECT_BINARY_DIR}/MANUAL.txt DESTINATION .)
  else()
    message(WARNING "groff was not found: the zip will hold no MANUAL.txt (Debian: apt-get install groff-base)")
  endif()
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  install(TARGETS kordimalen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Manual pages and changelogs go compressed, with no name or time stamp in
  # the gzip header, so that two builds give the same bytes.
  find_program(GZIP gzip)
  if(GZIP)
    configure_file(${PROJECT_SOURCE_DIR}/doc/changelog ${PROJECT_BINARY_DIR}/changelog COPYONLY)
    add_custom_command(OUTPUT kordimalen.1.gz changelog.gz
                       COMMAND ${GZIP} -9nkf kordimalen.1 changelog
                       DEPENDS ${PROJECT_BINARY_DIR}/kordimalen.1 ${PROJECT_BINARY_DIR}/changelog
                       WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    add_custom_target(compressed_documents ALL DEPENDS kordimalen.1.gz changelog.gz)
    # Building the program alone (the README's sample command) leaves all
    # that cmake --install, which builds nothing, takes.
    add_dependencies(kordimalen compressed_documents)
    set(manual_page ${PROJECT_BINARY_DIR}/kordimalen.1.gz)
    set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  else()
    set(manual_page ${PROJECT_BINARY_DIR}/kordimalen.1)
    set(changelog ${PROJECT_SOURCE_DIR}/doc/changelog)
  endif()
  install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # Debian's machine-readable copyright file, with the licence under its
  # Debian name.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX REPLACE "^.*\n(Permission )" "\\1" license "${license}")
  string(REGEX REPLACE "\n+$" "" license "${license}")
  string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
  string(REGEX REPLACE "\n" "\n " license "${license}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: kordimalen\n\n"
       "Files: *\n"
       "Copyright: 2026 the kordimalen developers\n"
       "License: Expat\n ${license}\n")
  # What each package keeps of the licence and the changelog, where its
  # distributions look for them. Packages only: cmake --install skips them.
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kordimalen COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/licenses/kordimalen COMPONENT rpm EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME kordimalen)
set(CPACK_PACKAGE_VENDOR "the kordimalen developers")
set(CPACK_PACKAGE_CONTACT "kordimalen developers <kordimalen@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Converter of radio receiver WAVE recordings, with receiver metadata")
set(CPACK_PACKAGE_DESCRIPTION
    "kordimalen converts one RIFF WAVE recording from a radio receiver (mono or
stereo; 8-, 16- or 24-bit integer PCM, or 32-bit float) into the Kordimalen
format: the same wave file without the chunks between the format chunk and
the data chunk, and with a 76-byte chunk of receiver metadata (start and stop
time, receiver frequency, sample rate) inserted before the data chunk.
It reads its input once, front to back, so the input may be a named pipe,
and its memory use does not grow with the size of the recording.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Directories in the packages are 0755 whatever the packager's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

# Packages carry the time of the commit they are built from (read by cpack,
# see cmake/cpack_project.cmake.in); without git, as in the source release,
# the time stamp of the source files, which the release sets to the commit's.
find_package(Git QUIET)
set(in_git_checkout FALSE)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  set(in_git_checkout TRUE)
endif()
if(in_git_checkout)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE KORDIMALEN_COMMIT_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT KORDIMALEN_COMMIT_TIME)
  file(TIMESTAMP ${PROJECT_SOURCE_DIR}/CMakeLists.txt KORDIMALEN_COMMIT_TIME "%s" UTC)
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake.in cpack_project.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack_project.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB RPM)
  set(prefix /usr)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${prefix})
  # One package each, made of the program's files and that package's own.
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_RPM_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(CMAKE_CROSSCOMPILING)
    # A .deb for another CPU, made on this machine: Debian's name for that CPU,
    # not dpkg's own, and the libraries the program needs read off its symbol
    # versions (see cmake/cpack_project.cmake.in), since dpkg-shlibdeps knows
    # only this machine's libraries.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE triple
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(debian_aarch64-linux-gnu arm64)
    set(debian_arm-linux-gnueabihf armhf)
    set(debian_arm-linux-gnueabi armel)
    set(debian_i686-linux-gnu i386)
    set(debian_s390x-linux-gnu s390x)
    if(NOT DEFINED debian_${triple})
      message(FATAL_ERROR "No Debian architecture is known for ${triple}: add it in cmake/packaging.cmake")
    endif()
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debian_${triple}})
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  endif()

  set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
  set(CPACK_RPM_PACKAGE_GROUP "Applications/Multimedia")
  set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm-changelog)
  set(CPACK_RPM_USER_FILELIST "%license ${prefix}/${CMAKE_INSTALL_DATAROOTDIR}/licenses/kordimalen/LICENSE")
  # Directories that the system's own packages own.
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION ${prefix}/${CMAKE_INSTALL_MANDIR}
      ${prefix}/${CMAKE_INSTALL_MANDIR}/man1 ${prefix}/${CMAKE_INSTALL_DATAROOTDIR}/licenses)
  # Not relocatable: CPack reads CPACK_PACKAGE_RELOCATABLE too, which it
  # sets by default.
  set(CPACK_PACKAGE_RELOCATABLE OFF)
  set(CPACK_RPM_PACKAGE_RELOCATABLE OFF)
  # The packager; no links under /usr/lib/.build-id, which would clash with
  # other packages' and belong with debug information this package lacks; the
  # commit's time as the build time and the files' latest time, and no build
  # machine's name, so that two builds give the same bytes.
  string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
         "%define packager ${CPACK_PACKAGE_CONTACT}"
         "%define _build_id_links none"
         "%define use_source_date_epoch_as_buildtime 1"
         "%define clamp_mtime_to_source_date_epoch 1"
         "%define _buildhost reproducible")
endif()

# The source release, kordimalen-VERSION.tar.gz: the files of the last commit
# that the build, the tests and the packages need, with the commit's time, in
# git's own order, so that two makes of one commit give the same bytes.
if(in_git_checkout)
  set(source_release kordimalen-${PROJECT_VERSION})
  add_custom_target(source_release
                    COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} -c tar.umask=0022 archive --format=tar.gz
                            --prefix=${source_release}/ -o ${PROJECT_BINARY_DIR}/${source_release}.tar.gz
                            HEAD -- . ":(exclude).ci" ":(exclude).gitignore"
                    COMMENT "Source release of the last commit: ${source_release}.tar.gz"
                    VERBATIM)
endif()
include(CPack)

# Renders the manual page as plain text with CR LF line ends, for the zip's
# MANUAL.txt: the same source as the Linux manual page, read in Notepad.
#
#   cmake -DGROFF=PATH -DPAGE=kordimalen.1 -DOUTPUT=MANUAL.txt -P cmake/windows_manual.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou ${PAGE}
                OUTPUT_VARIABLE text RESULT_VARIABLE failed ERROR_VARIABLE warnings)
if(failed OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff could not render ${PAGE}: ${warnings}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")

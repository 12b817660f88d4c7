# 32-bit x86 Linux. The x86-64 machine runs the result natively where its
# kernel runs 32-bit programs, with the kernel's 32-bit file limits; a kernel
# without IA-32 emulation (built or booted so) gets qemu-i386 instead.
set(KORDIMALEN_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(probe ${CMAKE_CURRENT_BINARY_DIR}/runs-32-bit)
file(WRITE ${probe}.c "int main(void) { return 0; }\n")
execute_process(COMMAND ${KORDIMALEN_TRIPLE}-gcc -static ${probe}.c -o ${probe} OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${probe} RESULT_VARIABLE runs_natively OUTPUT_QUIET ERROR_QUIET)
if(NOT runs_natively STREQUAL "0")
  set(KORDIMALEN_QEMU qemu-i386)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

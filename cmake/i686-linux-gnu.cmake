# 32-bit x86 Linux; the x86-64 machine runs the result natively, with the
# kernel's 32-bit file limits.
set(KORDIMALEN_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

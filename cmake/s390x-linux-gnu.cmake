# s390x Linux, a big-endian CPU, run under qemu-user.
set(KORDIMALEN_TRIPLE s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(KORDIMALEN_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

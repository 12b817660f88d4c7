# 32-bit ARM Linux with hardware floating point (armhf), the system of many
# single-board computers beside a receiver; its char is unsigned. Run under
# qemu-user.
set(KORDIMALEN_TRIPLE arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KORDIMALEN_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

# 32-bit ARM Linux for every Raspberry Pi, the ARMv6 boards (Pi 1, Zero,
# Zero W) included: Debian's armel toolchain targets ARMv5TE. Only the static
# release program is built so; a static program needs no system library, so
# the boards' hard-float systems run it too. Run under qemu-user as an
# ARM1176, the Pi 1's CPU.
set(KORDIMALEN_TRIPLE arm-linux-gnueabi)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KORDIMALEN_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)

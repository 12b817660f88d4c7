# Cross-build for Linux on another CPU with Debian's cross compilers, included
# by the per-target files beside this one after they set KORDIMALEN_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR. The programs are linked statically (KORDIMALEN_STATIC,
# on by default here), so that they run without the target's shared libraries:
# natively where the machine can run them (32-bit x86 on x86-64), else under
# qemu-user as the emulator. A build for the target's .deb
# (KORDIMALEN_PACKAGE_BUILD) links the runtimes dynamically instead, as the
# native package does; qemu-user then runs it with -L /usr/TRIPLE.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${KORDIMALEN_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KORDIMALEN_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${KORDIMALEN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(KORDIMALEN_QEMU)
  find_program(KORDIMALEN_EMULATOR ${KORDIMALEN_QEMU} REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORDIMALEN_EMULATOR})
endif()

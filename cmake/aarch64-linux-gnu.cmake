# Cross-compiles for Linux on 64-bit ARM with Debian's g++-aarch64-linux-gnu,
# and runs what it builds under qemu-aarch64-static (Debian: qemu-user-static).
#
# The tool links statically against the cross toolchain's glibc. On x86-64
# virtual machines musl is chosen because glibc's static start-up executes
# CPUID instructions, each a trap to the hypervisor; aarch64 start-up has
# none of them, and Debian ships musl for aarch64 only as a foreign
# architecture's package, which would cost the build machine a second
# package index.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)  # GoogleTest asks for C too
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The tests link the C++ runtime dynamically: qemu finds it in the sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu)

# Cross-building for 64-bit ARM Linux with Debian's cross compiler; the tests run under
# qemu-user. Libraries for the target come from Debian's arm64 multiarch packages, which live
# in /usr/lib/aarch64-linux-gnu beside the host's and share /usr/include.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# ctest and the tests' own child processes start every target program through this command.
# The path is absolute because a program under emulation that starts another one (a test's
# helper) hands it to execv. The programs run with the loader and C library of the arm64
# multiarch packages (/lib/ld-linux-aarch64.so.1, /lib/aarch64-linux-gnu): the copy that
# comes with the cross compiler (qemu's -L /usr/aarch64-linux-gnu) is an older release whose
# forked children crash or hang under qemu-user.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64)

# CMake looks for the target's packages in /usr/lib/aarch64-linux-gnu through the library
# architecture; pkg-config has to be told.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

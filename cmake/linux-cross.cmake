# Cross-building for any Debian architecture with Debian's cross compiler, named by its GNU
# triplet (-DQV_CROSS_TRIPLET=s390x-linux-gnu, as dpkg-architecture -qDEB_HOST_MULTIARCH gives
# it); the programs run under qemu-user. Libraries for the target come from Debian's multiarch
# packages in /usr/lib/<triplet>, beside the host's; riscv64 has none in Debian 12, and its
# programs run with the C and C++ libraries that come with the cross compiler.
set(QV_CROSS_TRIPLET "" CACHE STRING "GNU triplet of the target, e.g. arm-linux-gnueabihf")
if(NOT QV_CROSS_TRIPLET)
  message(FATAL_ERROR "linux-cross.cmake needs -DQV_CROSS_TRIPLET=<triplet>")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_CROSS_TRIPLET)  # CMake's own test projects
string(REGEX MATCH "^[^-]+" processor ${QV_CROSS_TRIPLET})
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
# The multiarch folder of i386 is named for the 80386, its compilers for the i686 (Debian's
# baseline).
string(REGEX REPLACE "^i386-" "i686-" compiler ${QV_CROSS_TRIPLET})
set(CMAKE_C_COMPILER ${compiler}-gcc)
set(CMAKE_CXX_COMPILER ${compiler}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QV_CROSS_TRIPLET})

# qemu names some processors its own way.
set(qemu ${processor})
if(processor MATCHES "^i[3-6]86$")
  set(qemu i386)
elseif(processor STREQUAL powerpc64le)
  set(qemu ppc64le)
elseif(processor STREQUAL mips64el AND QV_CROSS_TRIPLET MATCHES "abi64$")
  set(qemu mips64el)
endif()
# ctest and the tests' child processes start every target program through this command. With
# the target's multiarch C library installed its loader is where the program looks for it;
# without, the cross compiler's copy serves.
if(qemu STREQUAL i386 AND CMAKE_HOST_SYSTEM_PROCESSOR STREQUAL x86_64)
  # An x86-64 kernel runs 32-bit PC programs itself; qemu-i386 would not raise the x87's traps.
  unset(CMAKE_CROSSCOMPILING_EMULATOR)
elseif(EXISTS /usr/lib/${QV_CROSS_TRIPLET}/libc.so.6)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-${qemu})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-${qemu};-L;/usr/${QV_CROSS_TRIPLET})
endif()

set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${QV_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

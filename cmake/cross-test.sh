#!/bin/sh
# One Debian architecture, cross-built with Debian's compiler and run under qemu-user (make
# test-cross): the same-output digests and the other method tests (methods_tests), and every
# run-time error case with its number and back-trace (runtime_tests). The other suites run on
# x86-64 and, whole, on aarch64; here they would cost emulated minutes and find nothing new.
#
#   sh cmake/cross-test.sh armhf
set -eu
arch=$1
triplet=$(dpkg-architecture -a"$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)
build=build/cross-$arch
options=
# Without the target's library packages (riscv64 has none in Debian 12), GoogleTest is built
# from its sources and the console goes without libtinfo.
if [ ! -e "/usr/lib/$triplet/libgtest.a" ]; then
  options="-DQV_GOOGLETEST_FROM_SOURCE=ON -DQV_TERMINFO=OFF"
fi
# shellcheck disable=SC2086
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/linux-cross.cmake \
  -DQV_CROSS_TRIPLET="$triplet" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BENCH=OFF $options >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target runtime_tests methods_tests >/dev/null
# make lifts the stack's limit for what it starts; a stack without one grows into other
# mappings far below, and a recursion takes seconds to overflow it under emulation.
ulimit -s 8192
QV_TEST_TIMEOUT_SCALE=3 ctest --test-dir "$build" --output-on-failure -R '^(runtime|methods)_tests$'

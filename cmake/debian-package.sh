#!/bin/sh
# The Debian packages of a build (make package): CPack's quorvendalist and quorvendalist-dbgsym,
# the latter renamed from CPack's .ddeb to the .deb that Debian gives its debug symbols packages.
#
#   sh cmake/debian-package.sh build/program [OUTPUT_FOLDER]   # default: BUILD/package
set -eu
build=$1
output=${2:-$build/package}
cpack --config "$build/CPackConfig.cmake" -B "$output"
for ddeb in "$output"/*-dbgsym_*.ddeb; do
  if [ -f "$ddeb" ]; then mv -f "$ddeb" "${ddeb%.ddeb}.deb"; fi
done

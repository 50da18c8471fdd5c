#!/bin/sh
# Removes what `cmake --install BUILD --prefix PREFIX` puts under $DESTDIR$PREFIX (make uninstall):
#
#   DESTDIR=/tmp/stage sh cmake/uninstall.sh build/program /usr
#
# The list is what CMake's install rules write for that prefix, taken from an install into a
# scratch folder, so it holds for any prefix installed to, whichever was installed last. (Not
# from the build's install_manifest.txt: every install and CPack run rewrites that one file.)
# Only the files go, and the folders that are the program's own (share/doc/quorvendalist) once
# empty; shared folders such as bin stay.
set -eu
build=$1
prefix=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DESTDIR=$scratch cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$scratch" && find . ! -type d) | while IFS= read -r staged; do
  file=${DESTDIR:-}${staged#.}
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f "$file"
    echo "-- Removed: $file"
  fi
  folder=$(dirname "$file")
  if [ "$(basename "$folder")" = quorvendalist ] && rmdir "$folder" 2>/dev/null; then
    echo "-- Removed: $folder/"
  fi
done

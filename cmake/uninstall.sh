#!/bin/sh
# Removes what `cmake --install BUILD --prefix PREFIX` puts under $DESTDIR$PREFIX (make uninstall):
#
#   DESTDIR=/tmp/stage sh cmake/uninstall.sh build/program /usr
#
# The list is CMake's install manifest for that prefix, made afresh by an install into a scratch
# folder, so it holds for any prefix installed to, whichever was installed last. Only the files
# go, and the folders that are the program's own (share/doc/quorvendalist) once empty; shared
# folders such as bin stay.
set -eu
build=$1
prefix=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

DESTDIR=$scratch cmake --install "$build" --prefix "$prefix" >/dev/null
# The manifest's last line has no line end.
while IFS= read -r staged || [ -n "$staged" ]; do
  file=${DESTDIR:-}${staged#"$scratch"}
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f "$file"
    echo "-- Removed: $file"
  fi
  folder=$(dirname "$file")
  if [ "$(basename "$folder")" = quorvendalist ] && rmdir "$folder" 2>/dev/null; then
    echo "-- Removed: $folder/"
  fi
done <"$build/install_manifest.txt"
rm -f "$build/install_manifest.txt"

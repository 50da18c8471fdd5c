#!/bin/sh
# Removes what `cmake --install BUILD --prefix PREFIX` puts under $DESTDIR$PREFIX (make uninstall):
#
#   DESTDIR=/tmp/stage sh cmake/uninstall.sh build/program /usr
#
# The list is read from the build's install rules (cmake_install.cmake: each file(INSTALL
# DESTINATION ... FILES ...)), so it holds for any prefix installed to and needs the build
# configured, not built. (Not from the build's install_manifest.txt: every install rewrites that
# one file.) Only the files go, and the folders that are the program's own
# (share/doc/quorvendalist) once empty; shared folders such as bin stay. Finding none of the
# files is said, with status 1: the PREFIX may be mistyped.
set -eu
build=$1
prefix=$2
rules=$build/cmake_install.cmake
[ -f "$rules" ] || { echo "no install rules in $build: configure it first" >&2; exit 1; }

removed=0
# The installed path of every file the rules install: DESTINATION's folder and the file's name.
files=$(awk '
  /file\(INSTALL DESTINATION/ {
    folder = $0; sub(/.*DESTINATION "/, "", folder); sub(/".*/, "", folder)
    sub(/.*FILES/, ""); listing = 1
  }
  listing {
    while (match($0, /"[^"]*"/)) {
      name = substr($0, RSTART + 1, RLENGTH - 2); sub(/.*\//, "", name)
      print folder "/" name
      $0 = substr($0, RSTART + RLENGTH)
    }
    if ($0 ~ /\)/) listing = 0
  }' "$rules")
for installed in $files; do
  file=${DESTDIR:-}$prefix${installed#\$\{CMAKE_INSTALL_PREFIX\}}
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f "$file"
    echo "-- Removed: $file"
    removed=$((removed + 1))
  fi
  folder=$(dirname "$file")
  if [ "$(basename "$folder")" = quorvendalist ] && rmdir "$folder" 2>/dev/null; then
    echo "-- Removed: $folder/"
  fi
done
if [ $removed = 0 ]; then
  echo "quorvendalist is not installed under ${DESTDIR:-}$prefix: nothing removed (is PREFIX right?)" >&2
  exit 1
fi

#!/bin/sh
# make install: CMake's install rules put the program under $DESTDIR$PREFIX, once it is clear
# that whoever runs it may write there; else one message says how to install instead.
#
#   sh cmake/install.sh build/program /usr/local
set -eu
build=$1
prefix=$2
target=${DESTDIR:-}$prefix
for folder in bin share/man/man1 share/doc share/bash-completion/completions; do
  existing=$target/$folder
  while [ ! -e "$existing" ]; do existing=$(dirname "$existing"); done
  if [ ! -w "$existing" ]; then
    echo "make install: $existing is not writable by $(id -un)." >&2
    echo "Install for everyone with 'sudo make install', or for yourself with" >&2
    echo "'make install PREFIX=\$HOME/.local' (the program in ~/.local/bin, its manual for man)." >&2
    exit 1
  fi
done
exec cmake --install "$build" --prefix "$prefix"

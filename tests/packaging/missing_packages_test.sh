#!/usr/bin/env bash
# The Makefile's package step for someone who is neither root nor has sudo: a missing package is
# one message naming it (and only the missing ones) and the command that installs it, status 1;
# with nothing missing it says nothing. Needs root to become another user; skipped otherwise.
# Argument: the source folder.
set -euo pipefail
source=$1
[ "$(id -u)" = 0 ] || { echo "not root: skipped"; exit 0; }
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
chmod 755 "$bin"
# A PATH without sudo, whether or not this machine has it.
for tool in sh dpkg-query grep id; do ln -s "$(command -v $tool)" "$bin/$tool"; done
# A copy nobody can read: the checkout may sit in a folder only its owner enters (root's home).
install -m 644 "$source/cmake/install-packages.sh" "$bin/install-packages.sh"
as_nobody() {
  setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH="$bin" \
    sh "$bin/install-packages.sh" "$@"
}

status=0
message=$(as_nobody make qv-no-such-package 2>&1) || status=$?
expected="quorvendalist needs these Debian packages, which are not installed: qv-no-such-package
Installing them takes root, and sudo is not there; install them as root with:
  apt-get update && apt-get install qv-no-such-package"
[ "$status" = 1 ] || { echo "status $status, not 1"; exit 1; }
[ "$message" = "$expected" ] || { printf 'said:\n%s\nexpected:\n%s\n' "$message" "$expected"; exit 1; }
[ -z "$(as_nobody make)" ] || { echo "something said with nothing missing"; exit 1; }
echo "a missing package is named with the command that installs it"

#!/usr/bin/env bash
# The Makefile's package step for someone who is neither root nor has sudo, or whom sudo
# refuses: a missing package is one message naming it (and only the missing ones), the true
# reason and the command that installs it, status 1; with nothing missing it says nothing. A
# package installed only for another architecture is missing. Needs root to become another
# user; skipped otherwise.
# Argument: the source folder.
set -euo pipefail
source=$1
[ "$(id -u)" = 0 ] || { echo "not root: skipped"; exit 0; }
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
chmod 755 "$bin"
# A PATH without sudo, whether or not this machine has it.
for tool in sh dpkg dpkg-query grep id; do ln -s "$(command -v $tool)" "$bin/$tool"; done
# A copy the user nobody can read: the checkout may sit in a folder only its owner enters.
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

printf '#!/bin/sh\necho "nobody is not in the sudoers file." >&2\nexit 1\n' >"$bin/sudo"
chmod 755 "$bin/sudo"
message=$(as_nobody qv-no-such-package 2>&1) || true
grep -qx "sudo refused to run commands as root; install them as root with:" <<<"$message" ||
  { printf 'with sudo refusing, said:\n%s\n' "$message"; exit 1; }
rm "$bin/sudo"

# wine32 comes for i386 only (make test-windows): the machine's own architecture lacks it.
if dpkg-query -W -f='${Architecture} ${Status}\n' wine32 2>/dev/null | grep -q '^i386 .*ok installed'; then
  message=$(as_nobody wine32 2>&1) || true
  grep -q "not installed: wine32\$" <<<"$message" ||
    { echo "wine32, installed for i386 only, counted as installed"; exit 1; }
fi
echo "a missing package is named with the command that installs it"

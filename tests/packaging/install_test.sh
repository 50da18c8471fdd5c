#!/usr/bin/env bash
# `make install` in a temporary DESTDIR: CMake's install rules put the program, its manual page
# and its documents under the default prefix /usr/local, and the installed program runs.
# Arguments: the build folder, the project's version.
set -euo pipefail
build=$1
version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

DESTDIR="$root" cmake --install "$build" >"$root.log" || { cat "$root.log"; exit 1; }
rm -f "$root.log"

installed=$(cd "$root" && find . -type f | sort)
expected="./usr/local/bin/quorvendalist
./usr/local/share/doc/quorvendalist/changelog.gz
./usr/local/share/doc/quorvendalist/copyright
./usr/local/share/man/man1/quorvendalist.1.gz"
if [ "$installed" != "$expected" ]; then
  printf 'installed:\n%s\nexpected:\n%s\n' "$installed" "$expected"
  exit 1
fi
[ -x "$root/usr/local/bin/quorvendalist" ] || { echo "the program is not executable"; exit 1; }

answer=$("$root/usr/local/bin/quorvendalist" --version)
[ "$answer" = "quorvendalist $version" ] || { echo "--version says: $answer"; exit 1; }

# The manual page carries the same version and renders without a warning.
page=$(gzip -dc "$root/usr/local/share/man/man1/quorvendalist.1.gz")
grep -q "^\.TH QUORVENDALIST 1 .*\"quorvendalist $version\"" <<<"$page" ||
  { echo "the manual page's title line names another version"; exit 1; }
mandoc -T lint <<<"$page"
echo "installed under $root/usr/local: program, manual page, copyright, changelog"

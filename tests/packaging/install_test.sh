#!/usr/bin/env bash
# `make install` in a temporary DESTDIR: CMake's install rules put the program, its manual page,
# its documents and its bash completion under the default prefix /usr/local, and the installed
# program runs and completes. Then `make uninstall` (cmake/uninstall.sh) takes away what one
# prefix got and leaves another's, and says so when it finds nothing.
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
./usr/local/share/bash-completion/completions/quorvendalist
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

# The manual page carries the same version (the package test renders it).
gzip -dc "$root/usr/local/share/man/man1/quorvendalist.1.gz" |
  grep -q "^\.TH QUORVENDALIST 1 .*\"quorvendalist $version\"" ||
  { echo "the manual page's title line names another version"; exit 1; }

# Options at the start, the method letters as the first operand, nothing for N.
completions() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quorvendalist
           echo "${COMPREPLY[*]}"' bash "$root/usr/local/share/bash-completion/completions/quorvendalist" "$@"
}
for case in "--:--csv --help --version" ":a b c" "--csv :a b c" "a :" "a 5 --:--csv" "--help :"; do
  line="quorvendalist ${case%%:*}"
  read -r -a words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  got=$(completions "${words[@]}")
  [ "$got" = "${case#*:}" ] || { echo "completing '$line': '$got', not '${case#*:}'"; exit 1; }
done

# A second install under another prefix; each uninstall removes its own prefix's files only.
DESTDIR="$root" cmake --install "$build" --prefix /opt/qv >/dev/null
uninstall() { DESTDIR="$root" sh "$(dirname "$0")/../../cmake/uninstall.sh" "$build" "$1" >/dev/null; }
uninstall /usr/local
left=$(cd "$root" && find . -type f | sort)
[ "$left" = "${expected//usr\/local/opt\/qv}" ] || { printf 'left after uninstalling /usr/local:\n%s\n' "$left"; exit 1; }
uninstall /opt/qv
left=$(cd "$root" && find . -type f -o -name quorvendalist)
[ -z "$left" ] || { printf 'left after uninstalling both:\n%s\n' "$left"; exit 1; }
said=$(DESTDIR="$root" sh "$(dirname "$0")/../../cmake/uninstall.sh" "$build" /opt/qv 2>&1) &&
  { echo "uninstalling nothing succeeded"; exit 1; }
[[ $said == *"not installed under $root/opt/qv"* ]] || { echo "uninstalling nothing said: $said"; exit 1; }
echo "installed under $root/usr/local: program, manual page, documents, completion; uninstalled"

#!/usr/bin/env bash
# `make package`: the Debian package that CPack builds holds the program, its manual page, the
# copyright file and the changelog, owned by root; its Depends come from the shared libraries
# the program links; the program unpacked from it runs, stripped, and the debug symbols package
# beside it names its functions and lines; lintian finds no error or warning in either.
# Arguments: the build folder, the project's version.
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

sh "$(dirname "$0")/../../cmake/debian-package.sh" "$build" "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb="$work/quorvendalist_${version}_$(dpkg --print-architecture).deb"
dbgsym="$work/quorvendalist-dbgsym_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] && [ -f "$dbgsym" ] || fail "no packages $deb and $dbgsym: $(ls "$work")"

[ "$(dpkg-deb -f "$deb" Package)" = quorvendalist ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "wrong version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6; do
  grep -q "$library (>= " <<<"$depends" || fail "Depends lacks $library: $depends"
done

# Every entry: its mode, its owner and its path, directories included.
contents=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')
expected="drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/quorvendalist
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/bash-completion/
drwxr-xr-x root/root ./usr/share/bash-completion/completions/
-rw-r--r-- root/root ./usr/share/bash-completion/completions/quorvendalist
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/quorvendalist/
-rw-r--r-- root/root ./usr/share/doc/quorvendalist/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quorvendalist/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/quorvendalist.1.gz"
[ "$contents" = "$expected" ] || fail "$(printf 'contents:\n%s\nexpected:\n%s' "$contents" "$expected")"

dpkg-deb -x "$deb" "$work/root"
program="$work/root/usr/bin/quorvendalist"
[ "$("$program" --version)" = "quorvendalist $version" ] || fail "--version: $("$program" --version)"
gzip -dc "$work/root/usr/share/man/man1/quorvendalist.1.gz" | mandoc -T lint
gzip -dc "$work/root/usr/share/doc/quorvendalist/changelog.gz" | head -n 1 |
  grep -q "^quorvendalist ($version) " || fail "the changelog's first entry is not $version"

# The debug symbols as Debian ships them: found by the program's build ID, for that version only.
[ "$(dpkg-deb -f "$dbgsym" Depends)" = "quorvendalist (= $version)" ] || fail "dbgsym Depends"
[ "$(dpkg-deb -f "$dbgsym" Section)" = debug ] || fail "dbgsym Section"
id=$(readelf -n "$program" | sed -n 's/.*Build ID: //p')
dbgsym_contents=$(dpkg-deb -c "$dbgsym" | awk '$1 !~ /^d/ {print $1, $2, $6, $7, $8}' | sed 's/ *$//')
expected="-rw-r--r-- root/root ./usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
lrwxrwxrwx root/root ./usr/share/doc/quorvendalist-dbgsym -> quorvendalist"
[ "$dbgsym_contents" = "$expected" ] ||
  fail "$(printf 'dbgsym contents:\n%s\nexpected:\n%s' "$dbgsym_contents" "$expected")"
dpkg-deb -x "$dbgsym" "$work/root"
main=0x$(nm "$build/quorvendalist" | awk '$3 == "main" {print $1}')
[ "$(addr2line -f -e "$program" "$main" | head -n 1)" = "??" ] || fail "the program is not stripped"
symbols=$(addr2line -f -e "$work/root/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" "$main")
[ "$symbols" = "$(addr2line -f -e "$build/quorvendalist" "$main")" ] && [ "${symbols%%$'\n'*}" = main ] ||
  fail "the debug symbols say: $symbols"

lintian --fail-on error,warning "$deb" "$dbgsym" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; exit 1; }
echo "$(basename "$deb") and its -dbgsym: contents, Depends ($depends), unpacked program, symbols and lintian all right"

#!/usr/bin/env bash
# After `make deb`: the Debian package holds the program, its manual page, the copyright file and
# the changelog, owned by root; the program unpacked from it runs, stripped and hardened (PIE,
# BIND_NOW, fortified calls), and the -dbgsym package beside it, from dh_strip, names its
# functions. A second build of the same sources gives the same bytes.
# Arguments: the folder `make deb` wrote (build/deb/ARCH), the project's version.
set -euo pipefail
folder=$1
version=$2
arch=$(basename "$folder")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

deb="$folder/quorvendalist_${version}_${arch}.deb"
dbgsym="$folder/quorvendalist-dbgsym_${version}_${arch}.deb"
[ -f "$deb" ] && [ -f "$dbgsym" ] || fail "no packages $deb and $dbgsym: $(ls "$folder")"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "wrong version"
grep -q "libc6 (>= " <<<"$(dpkg-deb -f "$deb" Depends)" || fail "Depends: $(dpkg-deb -f "$deb" Depends)"

contents=$(dpkg-deb -c "$deb" | awk '$6 != "./" {print $1, $2, $6}')
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
dpkg-deb -x "$dbgsym" "$work/root"
program="$work/root/usr/bin/quorvendalist"
gzip -dc "$work/root/usr/share/man/man1/quorvendalist.1.gz" | mandoc -T lint
gzip -dc "$work/root/usr/share/doc/quorvendalist/changelog.gz" | head -n 1 |
  grep -q "^quorvendalist ($version) " || fail "the changelog's first entry is not $version"
grep -q 'FLAGS.*BIND_NOW' <<<"$(readelf -d "$program")" || fail "not linked with BIND_NOW"
grep -q 'Type: *DYN' <<<"$(readelf -h "$program")" || fail "not a position-independent executable"
grep -q '_chk@' <<<"$(nm -D "$program")" || fail "no fortified calls"
grep -q '\.debug_info' <<<"$(readelf -SW "$program")" && fail "the program is not stripped"
id=$(readelf -n "$program" | sed -n 's/.*Build ID: //p')
debug="$work/root/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug"
[ -f "$debug" ] || fail "no debug file for build ID $id"
grep -q ' T main$' <<<"$(nm "$debug")" || fail "the debug symbols do not name main"
if [ "$arch" = "$(dpkg --print-architecture)" ]; then
  [ "$("$program" --version)" = "quorvendalist $version" ] || fail "--version: $("$program" --version)"
fi
echo "$(basename "$deb") and its -dbgsym: contents, hardening, stripped program and its symbols all right"

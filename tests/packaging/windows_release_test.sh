#!/usr/bin/env bash
# The Windows release as `make package-windows` leaves it: the executable carries its version
# resource, icon and application manifest (read back with windres) and no link time, so that a
# rebuild gives the same file; it is stripped, and addr2line still names a function through the
# .gnu_debuglink'd debug file, which the symbols zip carries; the zip holds the same executable
# and the texts with Windows line ends; the installer is there with its own version information.
# Arguments: the release build folder, the project's version.
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
exe=$build/quorvendalist.exe
tools=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

resources=$($tools-windres -i "$exe" -J coff -O rc)
IFS=. read -r major minor patch <<<"$version"
for line in "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
  "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
  "VALUE \"ProductName\", \"quorvendalist\"" "VALUE \"OriginalFilename\", \"quorvendalist.exe\"" \
  "VALUE \"LegalCopyright\", \"Copyright (C) 20" "VALUE \"FileDescription\", \"quorvendalist\"" \
  "VALUE \"CompanyName\", \"quorvendalist developers\"" "RT_GROUP_ICON" \
  "requestedExecutionLevel level=\"\"asInvoker\"\"" \
  "supportedOS Id=\"\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"\"" ; do
  grep -qF "$line" <<<"$resources" || fail "the resources lack: $line"
done
# A UTF-8 active code page would change the bytes the console's key reader gets.
! grep -q "<activeCodePage" <<<"$resources" || fail "the manifest sets an active code page"

grep -q 'Time/Date.*1970' <<<"$($tools-objdump -p "$exe")" || fail "the executable carries a link time"

sections=$($tools-objdump -h "$exe")
! grep -q '\.debug_' <<<"$sections" || fail "the executable keeps debug sections"
grep -q '\.gnu_debuglink' <<<"$sections" || fail "the executable has no .gnu_debuglink"
main=0x$($tools-nm "$build/quorvendalist.exe.debug" | awk '$3 == "main" {print $1}')
[ "$($tools-addr2line -f -e "$exe" "$main" | head -n 1)" = main ] ||
  fail "addr2line does not find main through the debug link"
cp "$exe" "$work/alone.exe"
[ "$($tools-addr2line -f -e "$work/alone.exe" "$main" | head -n 1)" = "??" ] ||
  fail "the executable carries its debug information itself"

package=$build/package/quorvendalist-$version-win64
installer=$($tools-windres -i "$package.exe" -J coff -O rc 2>/dev/null) || fail "no installer $package.exe"
grep -qF "VALUE \"ProductVersion\", \"$version\"" <<<"$installer" || fail "the installer has no version"
(cd "$work" && cmake -E tar xf "$package-symbols.zip")
cmp -s "$work/quorvendalist.exe.debug" "$build/quorvendalist.exe.debug" ||
  fail "the symbols zip does not hold the executable's debug file"
(cd "$work" && cmake -E tar xf "$package.zip")
top=$work/quorvendalist-$version-win64
listed=$(cd "$top" && find . -type f | sort)
expected="./README.txt
./bin/quorvendalist.exe
./copyright.txt
./quorvendalist.txt"
[ "$listed" = "$expected" ] || fail "$(printf 'the zip holds:\n%s\nexpected:\n%s' "$listed" "$expected")"
cmp -s "$top/bin/quorvendalist.exe" "$exe" || fail "the zip's executable is not the built one"
for text in README.txt copyright.txt quorvendalist.txt; do
  ! grep -q $'[^\r]$' "$top/$text" || fail "$text has a line without a carriage return"
  ! grep -q $'\b' "$top/$text" || fail "$text holds backspaces"
done
grep -q "^quorvendalist $version" "$top/README.txt" || fail "README.txt names another version"
grep -q $'^Exit codes\r$' "$top/quorvendalist.txt" || fail "the manual's text lacks its exit codes"
! grep -q -E 'terminfo|SIGPIPE|nohup|dbgsym' "$top/quorvendalist.txt" ||
  fail "the Windows manual speaks of Unix"
echo "quorvendalist.exe $version: resources, stripped with debug link, symbols; zip and installer"

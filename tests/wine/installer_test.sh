#!/usr/bin/env bash
# The release's installer under Wine, run silently as a script or Settings runs it, in the
# release build's own Wine prefix: with the machine PATH at 980, 1,000, 1,041 and 4,000
# characters, installing onto PATH and uninstalling leaves every other entry as it was; the
# files, shortcuts and Uninstall entry; a silent upgrade keeps the PATH choice; installing or
# uninstalling while the program runs fails with code 4 and changes nothing; an entry the user
# put there stays; the uninstaller, and a move to another folder, leave nothing else.
# Arguments: the release build folder (build/windows-release), the project's version.
set -euo pipefail
release=$(cd "$1" && pwd)
version=$2
wine_run=$(cd "$(dirname "$0")/../../cmake" && pwd)/wine-run.sh
installer=$release/package/quorvendalist-$version-win64.exe
drive_c=$release/wineprefix/drive_c
folder="$drive_c/Program Files/quorvendalist"
entry='C:\Program Files\quorvendalist\bin'
machine='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvendalist'
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"; }

"$wine_run" --start "$release"
trap '"$wine_run" --stop "$release"; rm -f "$drive_c/quiet.cmd"' EXIT
reg() { "$wine_run" "$drive_c/windows/system32/reg.exe" "$@" 2>/dev/null | tr -d '\r'; }
# A value as stored, or "absent".
value() {
  local line
  line=$(reg query "$1" /v "$2" | grep -E "^    $2    REG_") || { echo absent; return; }
  sed -E 's/^ +[^ ]+ +REG_[A-Z_]+ {4}//' <<<"$line"
}
install() { "$wine_run" "$installer" /S "$@"; }
# As Settings and package managers run it: the Uninstall entry's QuietUninstallString.
uninstall() {
  printf '@%s\r\n@exit /b %%errorlevel%%\r\n' "$(value "$uninstall_key" QuietUninstallString)" \
    >"$drive_c/quiet.cmd"
  "$wine_run" "$drive_c/windows/system32/cmd.exe" /c 'C:\quiet.cmd'
}
# An uninstaller that ran in place removes itself and its folder just after it ends.
gone() {
  local tries=0
  while [ -e "$1" ] && [ $tries -lt 600 ]; do sleep 0.1; tries=$((tries + 1)); done
  [ ! -e "$1" ] || fail "$1 is left"
}
[ ! -e "$folder" ] || { echo "installed already: uninstall it in $release/wineprefix"; exit 1; }

original=$(value "$machine" Path)
# The machine PATH at exactly $1 characters: Wine's own entries, then made-up ones.
long_path() {
  local path=$original n=0
  while [ ${#path} -lt "$1" ]; do path="$path;C:\\Tools\\pkg$((n++))\\bin"; done
  echo "${path:0:$1}"
}
for length in 980 1000 1041 4000; do
  before=$(long_path $length)
  reg add "$machine" /v Path /t REG_EXPAND_SZ /d "$before" /f >/dev/null
  expect "install, PATH $length" "$(install /PATH=machine; echo $?)" 0
  expect "PATH $length installed" "$(value "$machine" Path)" "$before;$entry"
  if [ $length = 1000 ]; then
    for file in bin/quorvendalist.exe README.txt copyright.txt quorvendalist.txt Uninstall.exe; do
      [ -f "$folder/$file" ] || fail "$file not installed"
    done
    [ -f "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/quorvendalist/quorvendalist.lnk" ] ||
      fail "no Start-menu entry"
    [ ! -e "$drive_c/users/Public/Desktop/quorvendalist.lnk" ] || fail "a desktop icon unasked"
    expect "installed --version" "$("$wine_run" "$folder/bin/quorvendalist.exe" --version)" \
      "quorvendalist $version"$'\r'
    expect InstallLocation "$(value "$uninstall_key" InstallLocation)" 'C:\Program Files\quorvendalist'
    expect DisplayIcon "$(value "$uninstall_key" DisplayIcon)" "$entry\\quorvendalist.exe,0"
    expect Publisher "$(value "$uninstall_key" Publisher)" "quorvendalist developers"
    [[ $(value "$uninstall_key" EstimatedSize) =~ ^0x[0-9a-f]+$ ]] || fail "no EstimatedSize"
  fi
  expect "uninstall, PATH $length" "$(uninstall; echo $?)" 0
  gone "$folder"
  expect "PATH $length uninstalled" "$(value "$machine" Path)" "$before"
done
reg add "$machine" /v Path /t REG_EXPAND_SZ /d "$original" /f >/dev/null

# The user's PATH, which had no value: the choice outlives a silent upgrade; the program
# running stops an upgrade and an uninstall before they touch anything.
expect "user PATH before" "$(value 'HKCU\Environment' Path)" absent
expect "install for the user" "$(install /PATH=user /DESKTOP=yes; echo $?)" 0
[ -f "$drive_c/users/Public/Desktop/quorvendalist.lnk" ] || fail "no desktop icon"
expect "silent upgrade" "$(install; echo $?)" 0
expect "user PATH after the upgrade" "$(value 'HKCU\Environment' Path)" "$entry"
expect "machine PATH after the upgrade" "$(value "$machine" Path)" "$original"
output=$(mktemp)
"$wine_run" "$folder/bin/quorvendalist.exe" a 2147483647 >"$output" &
running=$!
while [ ! -s "$output" ]; do sleep 0.1; done
expect "upgrade while running" "$(install; echo $?)" 4
expect "uninstall while running" "$(uninstall; echo $?)" 4
[ -f "$folder/bin/quorvendalist.exe" ] && [ -f "$folder/Uninstall.exe" ] || fail "files went"
expect "listed while running" "$(value "$uninstall_key" DisplayVersion)" "$version"
kill $running
wait $running 2>/dev/null || true
rm -f "$output"
expect "uninstall" "$(uninstall; echo $?)" 0
gone "$folder"
gone "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/quorvendalist"
gone "$drive_c/users/Public/Desktop/quorvendalist.lnk"
expect "user PATH uninstalled" "$(value 'HKCU\Environment' Path)" absent
expect "Uninstall entry" "$(reg query "$uninstall_key" >/dev/null && echo there || echo absent)" absent
expect "settings" "$(reg query 'HKLM\Software\quorvendalist' >/dev/null && echo there || echo absent)" absent

# An entry the user made stays; a move to another folder leaves nothing in the old one; the
# folders the installer made above its own go.
reg add "$machine" /v Path /t REG_EXPAND_SZ /d "$original;C:\\Tools\\qv\\bin" /f >/dev/null
expect "install" "$(install /PATH=machine; echo $?)" 0
expect "move to C:\\Tools\\qv" "$(install '/D=C:\Tools\qv'; echo $?)" 0
gone "$folder"
[ -f "$drive_c/Tools/qv/bin/quorvendalist.exe" ] || fail "not installed into C:\\Tools\\qv"
expect "uninstall from C:\\Tools\\qv" "$(uninstall; echo $?)" 0
gone "$drive_c/Tools"
expect "the user's own entry" "$(value "$machine" Path)" "$original;C:\\Tools\\qv\\bin"
reg add "$machine" /v Path /t REG_EXPAND_SZ /d "$original" /f >/dev/null

[ $failures = 0 ] && echo "installer: PATH whole at every length, upgrades, running program, leftovers"
exit $((failures > 0))

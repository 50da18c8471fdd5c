#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in a prefix of its own inside the build
# folder (the folder that holds CMakeCache.txt, found upwards from the program):
#
#   cmake/wine-run.sh build/windows/quorvendalist.exe
#   cmake/wine-run.sh --start build/windows   # prefix ready, Wine server kept running
#   cmake/wine-run.sh --stop build/windows    # the server and every Wine process of the prefix end
#
# A running server saves about a second per program start; ctest starts one before the suites
# and stops it after them. WINEPREFIX, when set, wins.
set -eu

find_build_dir() {
  local dir
  dir=$(cd "$1" && pwd)
  while [ "$dir" != / ]; do
    [ -f "$dir/CMakeCache.txt" ] && { echo "$dir"; return; }
    dir=$(dirname "$dir")
  done
  echo "no build folder above $1" >&2
  exit 2
}

# The server and the Wine services outlive the command that starts them: they must not keep
# any descriptor it inherited (a lock held on the build machine, the output pipe a test runner
# waits on).
close_inherited_descriptors() {
  local fd
  for fd in /proc/$$/fd/*; do
    fd=${fd##*/}
    if [ "$fd" -gt 2 ] 2>/dev/null; then eval "exec $fd>&-" 2>/dev/null || true; fi
  done
}

case "${1:-}" in
  --start | --stop)
    action=$1
    build=$(find_build_dir "${2:-.}")
    ;;
  "")
    echo "usage: $0 PROGRAM.exe [ARGUMENTS...] | --start BUILD_DIR | --stop BUILD_DIR" >&2
    exit 2
    ;;
  *)
    action=run
    build=$(find_build_dir "$(dirname "$1")")
    ;;
esac

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No prompts for Mono and Gecko: a console program needs neither. No menu entries on the
# desktop that runs the tests: shortcuts an installer makes stay inside the prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=;winemenubuilder.exe=d}
# Debian's wine64 without the 32-bit half.
export WINELOADER=${WINELOADER:-/usr/lib/wine/wine64}
wine=$WINELOADER
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver

case $action in
  --start)
    (
      close_inherited_descriptors
      exec </dev/null >/dev/null 2>&1
      mkdir -p "$WINEPREFIX"
      # Kept for a minute after the last program, so a suite that is cut off leaves nothing.
      "$server" -p60 || true  # one that runs already will do
      # Makes a new prefix once (it takes a while), and starts the Wine services here, so that
      # no program of the suite starts them with its own output inherited.
      "$wine" wineboot
      "$wine" cmd.exe /c exit  # and the processes a console program starts on first use
    )
    ;;
  --stop)
    if [ -d "$WINEPREFIX" ]; then "$server" -k 2>/dev/null || true; fi
    ;;
  run)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      (close_inherited_descriptors; "$wine" wineboot -i </dev/null >/dev/null 2>&1)
    fi
    exec "$wine" "$@"
    ;;
esac

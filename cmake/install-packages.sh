#!/bin/sh
# Installs the Debian packages named that are missing, and nothing when none is, so a machine
# that has everything needs no network:
#
#   sh cmake/install-packages.sh cmake g++ make
#   sh cmake/install-packages.sh --architecture arm64 libc6:arm64 ...
#
# Installing takes root: as root directly, else through sudo. Without either, or when apt-get
# fails, one message names the packages and the command that installs them, and the status is 1.
set -u

architecture=
if [ "${1:-}" = --architecture ]; then
  architecture=$2
  shift 2
fi

# A name without an architecture means the machine's own (or a package for all): the same name
# installed for another architecture only (libncurses-dev:arm64) does not count.
native=$(dpkg --print-architecture 2>/dev/null)
missing=
for package in "$@"; do
  case $package in
    *:*) wanted=${package##*:} ;;
    *) wanted=$native ;;
  esac
  dpkg-query -W -f='${Architecture} ${Status}\n' "$package" 2>/dev/null |
    grep -Eq "^($wanted|all) .*ok installed\$" || missing="$missing $package"
done
[ -n "$missing" ] || exit 0

command="apt-get update && apt-get install$missing"
if [ -n "$architecture" ]; then command="dpkg --add-architecture $architecture && $command"; fi

cannot() {
  echo "quorvendalist needs these Debian packages, which are not installed:$missing" >&2
  echo "$1; install them as root with:" >&2
  echo "  $command" >&2
  exit 1
}

if [ "$(id -u)" = 0 ]; then
  as_root=
elif command -v sudo >/dev/null 2>&1; then
  as_root=sudo
else
  cannot "Installing them takes root, and sudo is not there"
fi

echo "Installing:$missing"
# sudo may refuse (not in sudoers, a wrong password): said so, not taken for apt-get failing.
if [ -n "$as_root" ]; then $as_root true || cannot "sudo refused to run commands as root"; fi
if [ -n "$architecture" ] && ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
  $as_root dpkg --add-architecture "$architecture" || cannot "dpkg could not add $architecture"
fi
# Another apt or dpkg at work (an unattended upgrade, a second make) holds the lock: wait for it.
wait_for_lock="-o DPkg::Lock::Timeout=-1"
# apt-get update gives up at once on the package lists' own lock: asked again until it is free.
update_lists() {
  while :; do
    output=$($as_root apt-get $wait_for_lock update -qq 2>&1) && return 0
    case $output in
      *"Could not get lock"*) sleep 5 ;;
      *) printf '%s\n' "$output" >&2; return 1 ;;
    esac
  done
}
update_lists || cannot "apt-get update failed"
$as_root env DEBIAN_FRONTEND=noninteractive apt-get $wait_for_lock install -y -qq $missing ||
  cannot "apt-get install failed"

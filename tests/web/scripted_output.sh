#!/usr/bin/env bash
# The command under node writes what the native program writes, byte for byte: standard output,
# standard error and the exit code, for each method (long runs too), --csv, the help and usage
# errors.
#   scripted_output.sh NATIVE_PROGRAM NODE_PROGRAM_JS
set -u
native=$1 web=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0
for args in "a 5" "b 10000" "c 100" "a 1000000" "--csv a 50" "--csv b 50" "--csv c 50" "--help" \
            "c \$2F" "b -3" "x" "a 12x"; do
  "$native" $args >"$work/native.out" 2>"$work/native.err"
  echo "exit $?" >>"$work/native.err"
  node --no-experimental-fetch "$web" $args >"$work/web.out" 2>"$work/web.err"
  echo "exit $?" >>"$work/web.err"
  if cmp -s "$work/native.out" "$work/web.out" && cmp -s "$work/native.err" "$work/web.err"; then
    echo "same: quorvendalist $args"
  else
    echo "differs: quorvendalist $args"
    diff "$work/native.err" "$work/web.err" | head -5
    diff "$work/native.out" "$work/web.out" | head -5
    differ=1
  fi
done
exit $differ

#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS each, from a copy of its seed corpus (the repository
# is not touched), and fails when one of them finds a crash, a hang or a leak.
#   fuzz/run_all.sh SECONDS [BUILD_DIR]     (BUILD_DIR defaults to build/fuzz: cmake --preset fuzz)
# Builds nothing. A failing input is kept under the temporary directory that is printed.
set -uo pipefail

seconds=${1:?usage: fuzz/run_all.sh SECONDS [BUILD_DIR]}
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$repo/build/fuzz}

shopt -s nullglob
targets=("$build"/fuzz/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/fuzz: build them first (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 2
fi

work=$(mktemp -d /tmp/qv-fuzz.XXXXXX)
passed=0
failed=0
for target in "${targets[@]}"; do
  name=$(basename "$target" _fuzz)
  corpus=$work/$name/corpus
  mkdir -p "$corpus"
  if [ -d "$repo/fuzz/corpus/$name" ]; then cp "$repo/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null; fi
  log=$work/$name/log
  if "$target" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$work/$name/" "$corpus" >"$log" 2>&1; then
    echo "$name: ok ($(grep -m1 -o 'Done [0-9]* runs' "$log" || echo 'no run count'))"
    passed=$((passed + 1))
  else
    echo "$name: FAILED; log and failing input in $work/$name/"
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5
    failed=$((failed + 1))
  fi
done

echo "fuzz: $passed passed, $failed failed"
if [ "$failed" -eq 0 ]; then rm -rf "$work"; fi
[ "$failed" -eq 0 ]

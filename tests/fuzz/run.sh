#!/usr/bin/env bash
# Runs every fuzz target for a while with its seed corpus. Usage: run.sh BUILD_DIR SECONDS
# A target that finds a failing input stops the run; the input is kept in BUILD_DIR/fuzz-artifacts.
set -uo pipefail
build=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
shopt -s nullglob
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  format=${name#fuzz_}
  seeds=()
  for d in "$root/tests/data/$format" "$root/../shared/corpus/$format"; do
    [ -d "$d" ] && seeds+=("$d")
  done
  work=$(mktemp -d)
  log="$artifacts/$name.log"
  echo "-- $name for ${seconds}s"
  ASAN_OPTIONS=allocator_may_return_null=1 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work" "${seeds[@]}" \
    > "$log" 2>&1
  rc=$?
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" || true
  rm -rf "$work"
  if [ $rc -ne 0 ]; then
    echo "fuzz target $name found a failing input (exit $rc):" >&2
    tail -40 "$log" >&2
    exit 1
  fi
done

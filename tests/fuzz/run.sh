#!/usr/bin/env bash
# Runs every fuzz target for a while with its seed corpus. Usage: run.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
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
  echo "-- $name for ${seconds}s"
  ASAN_OPTIONS=allocator_may_return_null=1 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 "$work" "${seeds[@]}" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|crash|Done' || true
  # libFuzzer writes crash-* files into the current directory on failure.
  if ls crash-* leak-* timeout-* oom-* >/dev/null 2>&1; then
    echo "fuzz target $name found a failing input" >&2
    exit 1
  fi
  rm -rf "$work"
done

#!/usr/bin/env bash
# Builds Dorvane and shows the bundled samples (set-up included): the README's run command.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -x build/platform/dorvane ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    if [ $# -eq 0 ]; then set -- samples; fi
    exec build/platform/dorvane "$@"
  fi
  echo "No display: use build/tools/dorvane-snapshot to see what the viewer shows." >&2
fi
# Without a window, decode every sample as the viewer would and report its pages.
status=0
if [ $# -eq 0 ]; then set -- samples/*; fi
for f in "$@"; do
  [ -f "$f" ] || continue
  case "$f" in *.md) continue ;; esac
  echo "== $f"
  build/tools/dorvane-decode "$f" || status=1
done
exit $status

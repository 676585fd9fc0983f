#!/bin/sh
# Decodes every JPEG under the given directories with dorvane-decode and prints one line per file:
# the SHA-256 of the tool's printed result followed by those of the pages it wrote. Two runs
# (before and after a decoder change) are compared with diff.
#   tools/jpeg_identity.sh DECODER DIR... > hashes.txt
set -u
decoder=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
find "$@" -type f \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.jpe' -o -iname '*.mpo' \) | sort |
    while read -r file; do
        rm -f "$tmp"/out-*.ppm
        printed=$("$decoder" "$file" "$tmp/out" 2>/dev/null; echo "exit $?")
        line="$(printf '%s' "$printed" | sha256sum | cut -c1-16)"
        for page in $(ls "$tmp"/out-*.ppm 2>/dev/null | sort -V); do
            line="$line $(sha256sum "$page" | cut -c1-64)"
        done
        echo "$file $line"
    done

#!/usr/bin/env bash
# Writes the expected output files of the end-to-end tests: every convertible fixture of
# tests/data/e2e as PBM, PGM and PPM (without the comment line; the tests insert it).
# Check the program against ImageMagick first: tools/check-e2e-against-reference.py.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
binary="${1:-$here/build/release/pic2pnm}"
fixtures="$here/tests/data/e2e"
expected="$fixtures/expected"
rm -rf "$expected"
mkdir -p "$expected"
for picture in "$fixtures"/*.*; do
    name="$(basename "$picture")"
    for type in pbm pgm ppm; do
        if ! "$binary" "$type" /NoComment "$picture" "$expected/$name.$type" >/dev/null; then
            rm -f "$expected/$name.$type"
        fi
    done
done
ls "$expected"

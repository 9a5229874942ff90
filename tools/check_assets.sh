#!/usr/bin/env bash
# Fails when the files in assets/ are not exactly what the generator makes.
set -euo pipefail
generator=$1
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$generator" "$out" >/dev/null
for f in spark.png 205275.png blow.wav block.wav; do
  cmp "assets/$f" "$out/$f" || { echo "assets/$f differs from what make_assets makes"; exit 1; }
done
echo "assets: all four regenerate byte for byte"

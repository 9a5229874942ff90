#!/usr/bin/env bash
# Fails when the files in assets/ are not exactly what the generator makes.
#   check_assets.sh <make_assets> <file>...   (the build passes the embedded list)
set -euo pipefail
generator=$1
shift
[ "$#" -gt 0 ] || { echo "no assets to check"; exit 1; }
cd "$(dirname "$0")/.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$generator" "$out" >/dev/null
for f in "$@"; do
  cmp "assets/$f" "$out/$f" || { echo "assets/$f differs from what make_assets makes"; exit 1; }
done
echo "assets: all $# regenerate byte for byte"

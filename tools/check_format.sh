#!/usr/bin/env bash
# Fails when a source file strays from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find app body combat persist fight replay netplay runtime tests bench tools fuzz \
  -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run --Werror "${files[@]}"
echo "style: ${#files[@]} files formatted"

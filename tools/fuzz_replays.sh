#!/usr/bin/env bash
# Builds the replay reader's libFuzzer harness with clang and runs it for a
# bounded time from the stored recordings, with a fixed seed. Usage:
#   tools/fuzz_replays.sh BUILD_DIR [SECONDS]
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
out="$1/fuzz"
seconds="${2:-20}"
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION \
  -I"$src" "$src/fuzz/replay_reader_fuzz.cpp" "$src/replay/format.cpp" -lz \
  -o "$out/replay_reader_fuzz"
cp "$src"/tests/data/replays/*.fwr "$out/corpus/"
# The corpus directory grows with what the fuzzer finds; it stays in the build.
"$out/replay_reader_fuzz" -seed=1 -max_total_time="$seconds" -max_len=8192 \
  -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 12

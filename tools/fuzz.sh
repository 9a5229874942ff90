#!/usr/bin/env bash
# Builds one libFuzzer harness of fuzz/ with clang and runs it for a bounded
# time from its seed corpus, with a fixed seed. The game compiles with g++, so
# the sources a harness needs are compiled here, each once into a cache under
# the build directory and again only when it or a header it reads changes.
# Usage:
#   tools/fuzz.sh BUILD_DIR HARNESS [SECONDS [CORPUS_DIR]]
# HARNESS names fuzz/HARNESS_fuzz.cpp: replay_reader, fight_settings,
# keys_message, peer_session or room_letter. Without CORPUS_DIR each run starts
# from the seeds alone, so it takes the same time every time; a CORPUS_DIR keeps
# what the fuzzer finds, for longer runs by hand.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
harness="$2"
seconds="${3:-20}"
corpus="${4:-}"
mkdir -p "$1/fuzz/$harness"
out="$(cd "$1/fuzz/$harness" && pwd)"
generated="$(cd "$1" && pwd)/generated"  # the embedded assets, made by the CMake build
cd "$src"
flags=(-std=c++20 -O2 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
  -ffp-contract=off -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -I"$src")

case "$harness" in
  replay_reader)
    sources=(replay/format.cpp)
    libs=(-lz)
    max_len=8192
    seeds=(tests/data/replays/*.fwr)
    ;;
  fight_settings)
    # What a fight frame reaches; the font it writes with is embedded.
    sources=(app/fight_setup.cpp app/level_summary.cpp app/match_loop.cpp app/outcome.cpp
      body/*.cpp combat/*.cpp persist/high_scores.cpp persist/score_file.cpp persist/settings.cpp
      runtime/embedded.cpp runtime/files.cpp runtime/graphics.cpp runtime/images.cpp
      runtime/input.cpp runtime/numbers.cpp runtime/pads.cpp runtime/png_pixels.cpp
      runtime/presentation.cpp runtime/program.cpp runtime/sound.cpp runtime/text.cpp
      runtime/wav.cpp runtime/platform/platform.cpp runtime/platform/headless.cpp
      "$generated/embedded_assets.cpp")
    libs=(-lpng -lz)
    max_len=1024
    seeds=(fuzz/corpus/fight_settings/*)
    ;;
  keys_message)
    sources=(netplay/keys_message.cpp netplay/rollback.cpp)
    libs=()
    max_len=4096
    seeds=(fuzz/corpus/keys_message/*)
    ;;
  peer_session)
    sources=(netplay/keys_message.cpp netplay/messages.cpp netplay/protocol.cpp
      netplay/rollback.cpp netplay/session.cpp netplay/watch_session.cpp netplay/watchers.cpp
      replay/format.cpp runtime/presentation.cpp)
    libs=(-lz)
    max_len=4096
    seeds=(fuzz/corpus/peer_session/*)
    ;;
  room_letter)
    sources=(netplay/room.cpp netplay/room_code.cpp netplay/room_letters.cpp netplay/messages.cpp
      netplay/keys_message.cpp replay/format.cpp runtime/net/memory_broker.cpp runtime/net/seal.cpp)
    libs=(-lsodium -lz)
    max_len=8192
    seeds=(fuzz/corpus/room_letter/*)
    ;;
  *)
    echo "no harness $harness" >&2
    exit 2
    ;;
esac

mkdir -p "$out/obj"
if [ -z "$corpus" ]; then
  corpus="$out/corpus"
  rm -rf "$corpus"
fi
mkdir -p "$corpus"
corpus="$(cd "$corpus" && pwd)"
# An object is stale when this script (its flags) or any file its last compile
# read is newer than it.
stale() {
  local o="$1" d="$1.d" f
  [ -e "$o" ] && [ -e "$d" ] || return 0
  for f in tools/fuzz.sh $(sed -e 's/^[^:]*://' -e 's/\\$//' "$d"); do
    [ "$f" -nt "$o" ] && return 0
  done
  return 1
}
objects=()
for s in "${sources[@]}" "fuzz/${harness}_fuzz.cpp"; do
  o="$out/obj/${s//\//_}.o"
  objects+=("$o")
  if stale "$o"; then
    # The bodies' relaxation compares point indices millions of times a fight,
    # none of them worth steering the fuzzer by: a third of its time.
    extra=()
    [[ "$s" == body/* ]] && extra=(-fno-sanitize-coverage=trace-cmp)
    clang++ "${flags[@]}" "${extra[@]}" -MMD -MF "$o.d" -c "$s" -o "$o"
  fi
done
clang++ -fsanitize=fuzzer,address,undefined "${objects[@]}" "${libs[@]}" -o "$out/${harness}_fuzz"

[ ${#seeds[@]} -eq 0 ] || cp "${seeds[@]}" "$corpus/"
# A failure shows the whole report; a pass, the figures at its end.
if "$out/${harness}_fuzz" -seed=1 -max_total_time="$seconds" -max_len="$max_len" \
  -artifact_prefix="$out/" -print_final_stats=1 "$corpus" >"$out/last_run.log" 2>&1; then
  tail -n 12 "$out/last_run.log"
else
  status=$?
  cat "$out/last_run.log"
  exit "$status"
fi

#!/usr/bin/env bash
# Two real games under Xvfb, each on its own display, the joiner reaching the
# host through tools/lossy_relay.py. Both players fight for SECONDS, then the
# host leaves with Esc. Prints each side's own account of the series (the input
# delay it chose, frames a second, display frames without a new frame,
# rollbacks, how long its end took), the relay's count of bytes each way, and
# whether both recordings verify with the same hash.
#
# usage: tools/measure_online.sh GAME [SECONDS] [ONE_WAY_MS] [LOSS_PERCENT]
set -u
GAME="$(realpath "$1")"
SECONDS_TO_PLAY=${2:-60}
ONE_WAY=${3:-50}
LOSS=${4:-5}
source "$(dirname "$0")/../tests/window/lib.sh"
RELAY="$(dirname "$(realpath "$0")")/lossy_relay.py"
HOST_DIR=$(mktemp -d)
JOIN_DIR=$(mktemp -d)
trap 'stop_display; kill ${HOST_PID:-} ${HOST_XVFB:-} ${RELAY_PID:-} 2>/dev/null; rm -rf "$HOST_DIR" "$JOIN_DIR"' EXIT

port=$(( 28000 + RANDOM % 2000 ))
relay_port=$(( port + 1 ))
python3 "$RELAY" "$relay_port" "$port" "$ONE_WAY" 8 "$LOSS" >"$HOST_DIR/relay.out" &
RELAY_PID=$!

start_host "$GAME" "$HOST_DIR" "$port"

start_display
cd "$JOIN_DIR"
export XDG_DATA_HOME="$JOIN_DIR/data"
"$GAME" --join "127.0.0.1:$relay_port" >join.out 2>join.err &
GAME_PID=$!
WIN=$(find_window) || exit 1
point_at "$WIN"
HW=$(DISPLAY=$HOST_DISPLAY xdotool search --name '^Flailwick$' | head -n 1)
DISPLAY=$HOST_DISPLAY xdotool mousemove --window "$HW" 300 300

# Each player walks at the other and jumps now and then; Enter passes the
# result between fights.
end=$(( $(date +%s) + SECONDS_TO_PLAY ))
i=0
while [ "$(date +%s)" -lt "$end" ] && game_running; do
  i=$(( i + 1 ))
  one=Right two=Left
  [ $(( i % 4 )) = 0 ] && one=Left
  [ $(( i % 3 )) = 0 ] && two=Right
  DISPLAY=$HOST_DISPLAY xdotool keydown "$one"
  xdotool keydown "$two"
  sleep 0.7
  [ $(( i % 2 )) = 0 ] && { DISPLAY=$HOST_DISPLAY xdotool key Up; xdotool key Up; }
  [ $(( i % 7 )) = 0 ] && { DISPLAY=$HOST_DISPLAY xdotool key Return; }
  sleep 0.3
  DISPLAY=$HOST_DISPLAY xdotool keyup "$one"
  xdotool keyup "$two"
done
(DISPLAY=$HOST_DISPLAY; xdotool keydown Escape; sleep 0.3; xdotool keyup Escape)
wait_exit 30
host_status=0
wait "$HOST_PID" || host_status=$?
HOST_PID=""
kill -TERM "$RELAY_PID"; wait "$RELAY_PID" 2>/dev/null; RELAY_PID=""
echo "host (exit $host_status): $(grep -h "Input delay\|Online series\|series' end" "$HOST_DIR/host.out")"
echo "joiner (exit $GAME_STATUS): $(grep -h "Input delay\|Online series\|series' end" "$JOIN_DIR/join.out")"
grep -v relaying "$HOST_DIR/relay.out"
hashes=""
for dir in "$HOST_DIR" "$JOIN_DIR"; do
  files=("$dir"/data/flailwick/replays/*.fwr)
  out=$("$GAME" --verify "${files[@]}") || { echo "--verify failed in $dir: $out"; exit 1; }
  echo "$(basename "$dir"): ${#files[@]} recordings verify"
  hashes="$hashes ${out##* }"
done
set -- $hashes
[ "$1" = "$2" ] && echo "both sides' last recordings end with $1" || { echo "they differ: $hashes"; exit 1; }

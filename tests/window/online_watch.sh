#!/usr/bin/env bash
# A watcher of an online series on one machine: three real games, each on
# its own display, the host on a loopback port, the joiner and then, once
# the fight runs, a watcher connecting to it. Esc on the host ends the
# series; the watcher plays to that frame, says that player 1 left and
# exits 0, and its recording verifies with the host's final hash.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
HOST_DIR=$(mktemp -d)
JOIN_DIR=$(mktemp -d)
WATCH_DIR=$(mktemp -d)
trap 'stop_display; kill ${HOST_PID:-} ${JOIN_PID:-} ${HOST_XVFB:-} ${JOIN_XVFB:-} 2>/dev/null
      rm -rf "$HOST_DIR" "$JOIN_DIR" "$WATCH_DIR"' EXIT

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }
port=$(( 30000 + RANDOM % 2000 ))

start_host "$GAME" "$HOST_DIR" "$port"
grep -q "on port $port" "$HOST_DIR/host.out" || fail "the host did not say it waits on port $port"

start_display
JOIN_XVFB=$XVFB_PID
(cd "$JOIN_DIR" && XDG_DATA_HOME="$JOIN_DIR/data" exec "$GAME" --join "127.0.0.1:$port" 2>join.err) &
GAME_PID=$!
WIN=$(find_window) || exit 1
point_at "$WIN"
wait_until 60 "the joiner's fight" fighters_shown
JOIN_PID=$GAME_PID

# The watcher comes once the fight runs, on a display of its own.
start_display
cd "$WATCH_DIR"
XDG_DATA_HOME="$WATCH_DIR/data" "$GAME" --watch "127.0.0.1:$port" 2>watch.err &
GAME_PID=$!
WIN=$(find_window) || exit 1
wait_until 60 "the watcher's fight" fighters_shown
cp "$SCREEN" "$SHOT_DIR/online_watch.png"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SCREEN" "$FLAILWICK_SHOTS/online_watch.png"

(DISPLAY=$HOST_DISPLAY; HW=$(xdotool search --name '^Flailwick$' | head -n 1)
 xdotool mousemove --window "$HW" 300 300; xdotool keydown Right; sleep 1.5; xdotool keyup Right
 xdotool keydown Escape; sleep 0.3; xdotool keyup Escape)
wait_exit 30
[ "$GAME_STATUS" = 0 ] || fail "the watcher's exit status $GAME_STATUS: $(grep -v ALSA watch.err | head -n 3)"
grep -q "Player 1 left" watch.err || fail "the watcher was not told: $(grep -v ALSA watch.err)"
for pid in "$HOST_PID" "$JOIN_PID"; do
  status=0
  wait "$pid" || status=$?
  [ "$status" = 0 ] || fail "a player's exit status $status"
done
HOST_PID="" JOIN_PID=""
hash=$(recordings_agree "$HOST_DIR" "$WATCH_DIR") || exit 1
echo "ok: hosted on port $port, joined, watched from the middle of the fight to the host's Esc; the watcher's recording verifies ($hash)"

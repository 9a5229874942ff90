#!/usr/bin/env bash
# Online play on one machine: two real games, each on its own display, the
# host on a loopback port and the joiner connecting to it. Both players move;
# Esc on the host ends the series on both sides, and each side's recording
# of the fight verifies, with the same final hash. Options after the game
# (--coop) go to the host.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
HOST_DIR=$(mktemp -d)
JOIN_DIR=$(mktemp -d)
trap 'stop_display; kill ${HOST_PID:-} ${HOST_XVFB:-} 2>/dev/null; rm -rf "$HOST_DIR" "$JOIN_DIR"' EXIT

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }
# A free port on the loopback address, for as long as it takes the host to take it.
port=$(( 28000 + RANDOM % 2000 ))

start_host "$GAME" "$HOST_DIR" "$port" "${@:2}"
grep -q "on port $port" "$HOST_DIR/host.out" || fail "the host did not say it waits on port $port"

start_display
cd "$JOIN_DIR"
export XDG_DATA_HOME="$JOIN_DIR/data"
"$GAME" --join "127.0.0.1:$port" 2>join.err &
GAME_PID=$!
WIN=$(find_window) || exit 1
point_at "$WIN"
wait_until 60 "the joiner's fight" fighters_shown
xdotool keydown Left
(DISPLAY=$HOST_DISPLAY; HW=$(xdotool search --name '^Flailwick$' | head -n 1)
 xdotool mousemove --window "$HW" 300 300; xdotool keydown Right; sleep 1.5; xdotool keyup Right)
xdotool keyup Left
cp "$SCREEN" "$SHOT_DIR/online.png"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SCREEN" "$FLAILWICK_SHOTS/online.png"

(DISPLAY=$HOST_DISPLAY; xdotool keydown Escape; sleep 0.3; xdotool keyup Escape)
wait_exit 20
[ "$GAME_STATUS" = 0 ] || fail "the joiner's exit status $GAME_STATUS: $(grep -v ALSA join.err | head -n 3)"
grep -q "The other player left" join.err || fail "the joiner was not told: $(grep -v ALSA join.err)"
host_status=0
wait "$HOST_PID" || host_status=$?
HOST_PID=""
[ "$host_status" = 0 ] || fail "the host's exit status $host_status: $(grep -v ALSA "$HOST_DIR/host.err")"
[ ! -e "$JOIN_DIR/prefs.fwk" ] && [ ! -e "$HOST_DIR/scores.txt" ] || fail "an online series wrote files"
hash=$(recordings_agree "$HOST_DIR" "$JOIN_DIR") || exit 1
echo "ok: hosted on port $port, joined, fought, left on both sides; both recordings verify ($hash)"

#!/usr/bin/env bash
# Two real games, each behind its own router in the NAT lab, meet by a room
# code on a lobby (broker, issuer and relay) in the lab's public namespace:
# directly through routers that keep ports, through the relay when both
# routers choose ports at random, host to host on one LAN, and with a clear
# message when the relay they would need is down. Each pair that meets plays
# until the host leaves with Esc, and both recordings verify alike; a watcher
# who comes in through the room meanwhile records the same.
# Usage: online_rooms.sh PATH/TO/flailwick (flailwick-issuer and the broker's
# guard are taken from beside it).
set -u
GAME="$(realpath "$1")"
BIN=$(dirname "$GAME")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../window/lib.sh"
source "$here/../../tools/nat_lab.sh"

if ! lab_can_run; then
  echo "SKIP: needs root and network namespaces with iptables"
  exit 77
fi
for program in mosquitto turnserver; do
  command -v $program >/dev/null || { echo "SKIP: $program is not installed"; exit 77; }
done
[ -x "$BIN/flailwick-issuer" ] || fail "no flailwick-issuer beside the game"

DISPLAYS=()
cleanup() {
  lab_down
  local pid
  for pid in "${DISPLAYS[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  DISPLAYS=()
}
trap cleanup EXIT
trap 'exit 1' INT TERM

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }

# side NAME RUNNER ARGS...: starts a game on a display of its own in the
# namespace RUNNER runs in; sets NAME_PID, NAME_DISPLAY, NAME_DIR and
# NAME_LAUNCHED (nanoseconds).
side() {
  local name=$1 runner=$2
  shift 2
  local dir
  dir=$(mktemp -d -p "$LAB_DIR")
  start_display
  DISPLAYS+=("$XVFB_PID")
  printf -v "${name}_LAUNCHED" %s "$(date +%s%N)"
  (cd "$dir" && XDG_DATA_HOME="$dir/data" "$runner" "$GAME" "$@" >out 2>err) &
  printf -v "${name}_PID" %s $!
  printf -v "${name}_DISPLAY" %s "$DISPLAY"
  printf -v "${name}_DIR" %s "$dir"
}

# run_case NAME NAT_A NAT_B RELAY(up|down) EXPECTED(Direct|Relayed|fail) [PAIR]
run_case() {
  local name=$1 natA=$2 natB=$3 relay=$4 expected=$5 pair=${6:-}
  echo "== $name: A $natA, B $natB, relay $relay; expecting $expected"
  lab_up "$natA" "$natB" || fail "$name: the lab could not be made"
  local lobby="$(lab_public_ip):1883"
  lab_run_public bash "$here/../../tools/lobby.sh" --address "$(lab_public_ip)" \
    --dir "$LAB_DIR/lobby" --issuer "$BIN/flailwick-issuer" \
    --guard "$BIN/flailwick_wildcard_guard.so" >"$LAB_DIR/lobby.out" 2>&1 &
  lab_wait_for_line "$LAB_DIR/lobby.out" "Lobby ready" 30 ||
    fail "$name: the lobby did not come up: $(tail -n 5 "$LAB_DIR/lobby.out")"
  # A relay that is down answers nothing; the lobby itself stays up.
  [ "$relay" = down ] && lab_run_public iptables -A INPUT -p udp --dport 3478 -j DROP

  side HOST lab_run_a --host --lobby "$lobby"
  lab_wait_for_line "$HOST_DIR/out" "^Room code " 30 || fail "$name: no room code: $(cat "$HOST_DIR/err")"
  local code
  code=$(sed -n 's/^Room code //p' "$HOST_DIR/out")
  side JOIN lab_run_b --join "$code" --lobby "$lobby"
  GAME_PID=$JOIN_PID

  if [ "$expected" = fail ]; then
    wait_exit 40
    [ "$GAME_STATUS" = 1 ] || fail "$name: the joiner's exit status was $GAME_STATUS"
    grep -q "No path to the other player was found" "$JOIN_DIR/err" ||
      fail "$name: the joiner was not told: $(grep -v ALSA "$JOIN_DIR/err")"
    echo "ok   $name: $(grep "^flailwick:" "$JOIN_DIR/err")"
    cleanup
    return
  fi
  # From starting the joiner to its first frame, which follows the input delay's line.
  local i
  for i in $(seq 1 2000); do
    grep -q "^Input delay" "$JOIN_DIR/out" 2>/dev/null && break
    kill -0 "$JOIN_PID" 2>/dev/null || break
    sleep 0.02
  done
  local firstFrame=$((($(date +%s%N) - JOIN_LAUNCHED) / 1000000))
  for dir in "$HOST_DIR" "$JOIN_DIR"; do
    lab_wait_for_line "$dir/out" "^Path: " 40 || fail "$name: no path: $(grep -v ALSA "$dir/err")"
    grep -Eq "^Path: $expected \(.*${pair:+ $pair -> .* $pair\)}" "$dir/out" ||
      fail "$name: $(grep '^Path' "$dir/out")"
  done
  DISPLAY=$JOIN_DISPLAY SCREEN="$JOIN_DIR/screen.png"
  WIN=$(find_window) || exit 1
  wait_until 60 "the joiner's fight" fighters_shown
  local dirs=("$HOST_DIR" "$JOIN_DIR")
  if [ "$name" = "port-keeping routers" ]; then
    # A watcher comes in through the same room, behind the joiner's router.
    side WATCH lab_run_b --watch "$code" --lobby "$lobby"
    lab_wait_for_line "$WATCH_DIR/out" "^Path: Direct" 40 ||
      fail "$name: the watcher found no path: $(grep -v ALSA "$WATCH_DIR/err")"
    GAME_PID=$WATCH_PID DISPLAY=$WATCH_DISPLAY SCREEN="$WATCH_DIR/screen.png"
    WIN=$(find_window) || exit 1
    wait_until 60 "the watcher's fight" fighters_shown
    GAME_PID=$JOIN_PID
    dirs+=("$WATCH_DIR")
  fi
  (DISPLAY=$HOST_DISPLAY; HW=$(xdotool search --name '^Flailwick$' | head -n 1)
   xdotool mousemove --window "$HW" 300 300; xdotool keydown Escape; sleep 0.3; xdotool keyup Escape)
  wait_exit 30
  [ "$GAME_STATUS" = 0 ] || fail "$name: the joiner's exit status $GAME_STATUS"
  local status=0
  wait "$HOST_PID" || status=$?
  [ "$status" = 0 ] || fail "$name: the host's exit status $status: $(grep -v ALSA "$HOST_DIR/err")"
  if [ ${#dirs[@]} = 3 ]; then
    status=0
    wait "$WATCH_PID" || status=$?
    [ "$status" = 0 ] || fail "$name: the watcher's exit status $status"
    grep -q "Player 1 left" "$WATCH_DIR/err" || fail "$name: the watcher was not told who left"
  fi
  local hash
  hash=$(recordings_agree "${dirs[@]}") || fail "$name: the recordings do not agree"
  echo "ok   $name: $(grep '^Path' "$JOIN_DIR/out"), the joiner's first frame ${firstFrame} ms" \
    "after it started, the recordings end at $hash"
  cleanup
}

run_case "port-keeping routers" preserving preserving up Direct
run_case "port-randomising routers" random random up Relayed
run_case "one LAN" preserving same up Direct "host"
run_case "port-randomising routers, relay down" random random down fail
echo "all cases passed"

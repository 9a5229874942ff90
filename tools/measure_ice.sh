#!/bin/bash
# Measures ICE in the NAT lab (tools/nat_lab.sh): for each kind of path, a
# few runs of two probes, and what the controlling side saw: time from start
# to connected and the round trip's median and 99th percentile. Then the time
# a failure takes: the relay down, and the relay refusing the credentials.
# Usage (as root): tools/measure_ice.sh PATH/TO/flailwick_ice_probe [RUNS] [PINGS]
probe=${1:?the probe program}
runs=${2:-5}
pings=${3:-600}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/nat_lab.sh"
lab_can_run || { echo "needs root and network namespaces" >&2; exit 1; }
trap lab_down EXIT
trap 'exit 1' INT TERM

# one NAT_A NAT_B RELAY(up|down|refusing): prints the controlling side's lines
# and the seconds both probes took.
one() {
  lab_up "$1" "$2" || return 1
  [ "$3" = down ] || lab_start_relay || return 1
  local credentials relayArg
  credentials=($(lab_relay_credentials measure))
  [ "$3" = refusing ] && credentials[1]=bm90LXRoZS1wYXNzd29yZA==
  relayArg="$(lab_public_ip):$LAB_TURN_PORT:${credentials[0]}:${credentials[1]}"
  local start=$(date +%s%N)
  lab_run_a "$probe" --controlling --mine "$LAB_DIR/a" --theirs "$LAB_DIR/b" --relay "$relayArg" \
    --pings "$pings" >"$LAB_DIR/a.out" 2>&1 &
  local pidA=$!
  lab_run_b "$probe" --controlled --mine "$LAB_DIR/b" --theirs "$LAB_DIR/a" --relay "$relayArg" \
    --pings "$pings" >"$LAB_DIR/b.out" 2>&1 &
  wait $pidA $!
  local millis=$((($(date +%s%N) - start) / 1000000))
  echo "  $(grep -E '^(path|connected_ms|rtt_ms|ice_probe)' "$LAB_DIR/a.out" | tr '\n' ' ') ($millis ms for both)"
  lab_down
}

for kind in "preserving preserving up" "random random up" "preserving same up"; do
  echo "== routers ${kind% *}, relay ${kind##* }"
  for _ in $(seq "$runs"); do one $kind; done
done
echo "== routers random random, relay down"
one random random down
echo "== routers random random, relay refusing the credentials"
one random random refusing

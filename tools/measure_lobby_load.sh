#!/usr/bin/env bash
# How much one lobby (broker, issuer, one relay) holds on this machine: ROOMS
# open rooms and MATCHES matches relayed between two port-randomising routers
# in the NAT lab, each trading the game's 60 keys messages a second both ways
# for SECONDS. Prints what the hosts' and guests' processes saw (rooms,
# paths, round trips, losses), the CPU each server took over the steady
# phase, the relay's CPU and bytes per match, and the same on a direct path
# between port-keeping routers, so that what the relay adds to the round trip
# is known. The direct run has as many matches as the relayed one unless told
# otherwise: the clients share the machine's cores with the lobby, so only at
# equal numbers is the difference the relay's and not the clients'.
# Usage (as root): tools/measure_lobby_load.sh BUILD_DIR [ROOMS] [MATCHES] [SECONDS]
#   BUILD_DIR holds flailwick_lobby_load, flailwick-issuer and the broker's
#   guard (a release build); BASELINE_MATCHES (default MATCHES) sets the direct run.
#   The clients and the tap run at nice CLIENT_NICE (default 10): they stand in
#   for players' machines elsewhere, so they must not take the lobby's CPU.
set -u
[ $# -ge 1 ] || { echo "Usage: $0 BUILD_DIR [ROOMS] [MATCHES] [SECONDS]" >&2; exit 2; }
BIN=$(realpath "$1")
ROOMS=${2:-500}
MATCHES=${3:-200}
STEADY=${4:-30}
BASELINE=${BASELINE_MATCHES:-$MATCHES}
NICE=${CLIENT_NICE:-10}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/nat_lab.sh"

if ! lab_can_run; then
  echo "SKIP: needs root and network namespaces with iptables"
  exit 77
fi
for file in flailwick_lobby_load flailwick-issuer flailwick_wildcard_guard.so; do
  [ -e "$BIN/$file" ] || { echo "No $file in $BIN" >&2; exit 1; }
done
trap lab_down EXIT
trap 'exit 1' INT TERM
# Hundreds of connections and allocations: every server inherits this.
ulimit -n "$(ulimit -Hn)"

TICKS=$(getconf CLK_TCK)
MESSAGE=40     # bytes of one keys message, as the tool sends
CHANNEL=4      # TURN ChannelData header, between a client and its allocation
UDP_IP=28      # UDP and IPv4 headers

# The servers' processes in the public namespace, as "name:pid".
servers() {
  local pid name
  for pid in $(ip netns pids "$LAB_PUBLIC"); do
    name=$(cat "/proc/$pid/comm" 2>/dev/null) || continue
    case $name in turnserver | mosquitto | flailwick-issue) echo "$name:$pid" ;; esac
  done
}

# CPU ticks (user and system, every thread) of one process.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
# The whole machine's busy and total ticks, and its soft interrupts (packets).
machine() { awk '/^cpu / { print $2+$3+$4+$7+$8+$9, $2+$3+$4+$5+$6+$7+$8+$9, $8 }' /proc/stat; }

# run NAME NAT ROOMS MATCHES: one lab, one lobby, hosts behind A, guests
# behind B. Sets RT_P99 (ms) and RELAY_PCT (the relay's CPU, % of a core).
run() {
  local name=$1 nat=$2 rooms=$3 matches=$4 began=$SECONDS
  echo "== $name: $rooms rooms, $matches matches, routers $nat, $STEADY s steady"
  lab_up "$nat" "$nat" || { echo "the lab could not be made" >&2; exit 1; }
  lab_run_public bash "$here/lobby.sh" --address "$(lab_public_ip)" --dir "$LAB_DIR/lobby" \
    --issuer "$BIN/flailwick-issuer" --guard "$BIN/flailwick_wildcard_guard.so" \
    >"$LAB_DIR/lobby.out" 2>&1 &
  lab_wait_for_line "$LAB_DIR/lobby.out" "Lobby ready" 30 ||
    { echo "the lobby did not come up: $(tail -n 5 "$LAB_DIR/lobby.out")" >&2; exit 1; }
  local lobby codes="$LAB_DIR/codes"
  lobby="$(lab_public_ip):1883"
  lab_run_a nice -n "$NICE" "$BIN/flailwick_lobby_load" --hosts "$rooms" --matches "$matches" --codes "$codes" \
    --lobby "$lobby" --seconds "$STEADY" >"$LAB_DIR/host.out" 2>&1 &
  local hostPid=$!
  lab_run_b nice -n "$NICE" "$BIN/flailwick_lobby_load" --guests "$matches" --codes "$codes" --lobby "$lobby" \
    >"$LAB_DIR/guest.out" 2>&1 &
  local guestPid=$!
  # Key derivation, opening and connecting come first.
  if ! lab_wait_for_line "$LAB_DIR/host.out" "^steady$" 300; then
    echo "the matches never reached their steady phase:" >&2
    cat "$LAB_DIR/host.out" "$LAB_DIR/guest.out" >&2
    exit 1
  fi
  local procs=() before=() entry
  mapfile -t procs < <(servers)
  for entry in "${procs[@]}"; do before+=("$(ticks "${entry#*:}")"); done
  # What the relay itself adds, timed at its door: ten seconds of the steady
  # phase (the tap's own CPU falls inside the machine's figure, not the relay's).
  local tap=""
  if [ "$nat" = random ]; then
    lab_run_public nice -n "$NICE" python3 "$here/relay_delay.py" wanbr 10 >"$LAB_DIR/relay_delay.out" 2>&1 &
    tap=$!
  fi
  local machineBefore started
  machineBefore=$(machine)
  started=$(date +%s%N)
  lab_wait_for_line "$LAB_DIR/host.out" "^steady over" $((STEADY + 60)) ||
    { echo "the steady phase never ended" >&2; cat "$LAB_DIR/host.out" >&2; exit 1; }
  local elapsed i after machineAfter
  elapsed=$(($(date +%s%N) - started))
  machineAfter=$(machine)
  after=()
  for entry in "${procs[@]}"; do after+=("$(ticks "${entry#*:}")"); done
  [ -z "$tap" ] || wait "$tap"
  local status=0
  wait "$hostPid" || status=$?
  for _ in $(seq 1 300); do kill -0 "$guestPid" 2>/dev/null || break; sleep 0.1; done
  wait "$guestPid" 2>/dev/null || status=$?
  echo "-- hosts (client A)"
  cat "$LAB_DIR/host.out"
  echo "-- guests (client B)"
  cat "$LAB_DIR/guest.out"
  [ -z "$tap" ] || { cat "$LAB_DIR/relay_delay.out"; RELAY_LINE=$(cat "$LAB_DIR/relay_delay.out"); }
  echo "-- servers over the steady phase ($(awk -v n="$elapsed" 'BEGIN { printf "%.1f", n / 1e9 }') s)"
  RELAY_PCT=0
  for i in "${!procs[@]}"; do
    local pct
    pct=$(awk -v d=$((after[i] - before[i])) -v t="$TICKS" -v n="$elapsed" \
      'BEGIN { printf "%.1f", 100 * d / t / (n / 1e9) }')
    echo "${procs[$i]%%:*} (pid ${procs[$i]#*:}): ${pct}% of one core"
    [ "${procs[$i]%%:*}" = turnserver ] && RELAY_PCT=$pct
  done
  read -r busy0 total0 soft0 <<<"$machineBefore"
  read -r busy1 total1 soft1 <<<"$machineAfter"
  awk -v b=$((busy1 - busy0)) -v t=$((total1 - total0)) -v s=$((soft1 - soft0)) -v n="$(nproc)" \
    'BEGIN { busy = b > 0 ? b : 1
             printf "whole machine (%d cores, shared): %.0f%% busy, %.0f%% of it in soft interrupts\n",
             n, 100 * b / t, 100 * s / busy }'
  RT_P99=$(sed -n 's/^round trip.* p99 \([0-9.]*\) ms.*/\1/p' "$LAB_DIR/host.out")
  local relayed both
  relayed=$(sed -n 's/^paths: .* \([0-9]*\) Relayed.*/\1/p' "$LAB_DIR/host.out")
  both=$(sed -n 's/^paths: .*(\([0-9]*\) through two.*/\1/p' "$LAB_DIR/host.out")
  if [ "${relayed:-0}" -gt 0 ]; then
    # Each datagram goes client -> allocation (ChannelData) and allocation ->
    # the other side (plain UDP); through two allocations it does so twice.
    awk -v pct="$RELAY_PCT" -v r="$relayed" -v b="${both:-0}" -v m=$MESSAGE -v c=$CHANNEL -v u=$UDP_IP \
      'BEGIN {
         hops = (r + b) / r
         per = 2 * 60 * hops * ((m + c + u) + (m + u)) / 2
         printf "relay CPU per relayed match: %.3f%% of one core, %.3f ms a second\n", pct / r, 10 * pct / r
         printf "relay traffic per relayed match: %.0f bytes/s in and %.0f out (%.2f allocations crossed per datagram)\n", per, per, hops
         if (pct > 0) printf "so one core of relay carries about %.0f such matches\n", 100 * r / pct
       }'
  fi
  lab_down
  echo "(this run took $((SECONDS - began)) s from making the lab to removing it)"
  [ "$status" = 0 ] || echo "(a load process reported failures: status $status)"
}

run "relayed" random "$ROOMS" "$MATCHES"
RELAYED_P99=$RT_P99
run "direct baseline" preserving "$BASELINE" "$BASELINE"
DIRECT_P99=$RT_P99
echo "== summary"
echo "${RELAY_LINE:-relay forwarding delay: not measured}"
echo "(a round trip crosses the relay twice)"
echo "round trip p99: relayed ${RELAYED_P99:-?} ms, direct ${DIRECT_P99:-?} ms"
if [ -n "$RELAYED_P99" ] && [ -n "$DIRECT_P99" ]; then
  awk -v r="$RELAYED_P99" -v d="$DIRECT_P99" \
    'BEGIN { printf "the relay adds %.3f ms to the round trip at the 99th percentile\n", r - d }'
fi

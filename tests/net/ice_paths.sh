#!/bin/bash
# Two ICE probes behind routers in network namespaces find the path each kind
# of router allows: directly through routers that keep ports, through the
# relay when both routers choose ports at random, host to host on one LAN,
# and a clear failure when the relay they would need is down.
# Usage: ice_paths.sh PATH/TO/flailwick_ice_probe
probe=${1:?the probe program}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../tools/nat_lab.sh"

if ! lab_can_run; then
  echo "SKIP: needs root and network namespaces with iptables"
  exit 77
fi
if ! command -v turnserver >/dev/null; then
  echo "SKIP: coturn's turnserver is not installed"
  exit 77
fi
trap lab_down EXIT
trap 'exit 1' INT TERM

failures=0

# run_case NAME NAT_A NAT_B RELAY(up|down) EXPECTED(Direct|Relayed|fail)
run_case() {
  local name=$1 natA=$2 natB=$3 relay=$4 expected=$5
  echo "== $name: A $natA, B $natB, relay $relay; expecting $expected"
  if ! lab_up "$natA" "$natB"; then
    echo "FAIL $name: the lab could not be made"
    failures=$((failures + 1))
    lab_down
    return
  fi
  if [ "$relay" = up ] && ! lab_start_relay; then
    echo "FAIL $name: the relay did not start"
    failures=$((failures + 1))
    lab_down
    return
  fi
  local credentials relayArg
  credentials=($(lab_relay_credentials probe))
  relayArg="$(lab_public_ip):$LAB_TURN_PORT:${credentials[0]}:${credentials[1]}"
  lab_run_a "$probe" --controlling --mine "$LAB_DIR/a" --theirs "$LAB_DIR/b" \
    --relay "$relayArg" >"$LAB_DIR/a.out" 2>&1 &
  local pidA=$!
  lab_run_b "$probe" --controlled --mine "$LAB_DIR/b" --theirs "$LAB_DIR/a" \
    --relay "$relayArg" >"$LAB_DIR/b.out" 2>&1 &
  local pidB=$!
  local rcA=0 rcB=0
  wait $pidA || rcA=$?
  wait $pidB || rcB=$?
  local side out rc ok=1
  for side in A B; do
    out="$LAB_DIR/${side,,}.out"
    [ $side = A ] && rc=$rcA || rc=$rcB
    sed "s/^/  $side: /" "$out"
    if [ "$expected" = fail ]; then
      if [ $rc -eq 0 ] || ! grep -q "No path to the other player" "$out"; then ok=0; fi
    elif [ $rc -ne 0 ] || ! grep -qx "path $expected" "$out"; then
      ok=0
    fi
  done
  if [ $ok -eq 1 ]; then
    echo "ok   $name"
  else
    echo "FAIL $name"
    [ -f "$LAB_DIR/turn.log" ] && tail -n 20 "$LAB_DIR/turn.log" | sed 's/^/  relay: /'
    failures=$((failures + 1))
  fi
  lab_down
}

run_case "port-keeping routers" preserving preserving up Direct
run_case "port-randomising routers" random random up Relayed
run_case "one LAN" preserving same up Direct
run_case "port-randomising routers, relay down" random random down fail

[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"

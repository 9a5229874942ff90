#!/bin/bash
# A whole lobby on loopback through tools/lobby.sh, checked from outside:
# flailwick_lobby_probe plays players and an eavesdropper against the broker
# and the issuer, and coturn's own client allocates with the credentials.
# Usage: lobby.sh ISSUER PROBE GUARD
set -u
issuer=$1 probe=$2 guard=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

for program in mosquitto turnserver turnutils_uclient ss; do
  command -v "$program" >/dev/null || { echo "SKIP: no $program here"; exit 77; }
done

work=$(mktemp -d)
lobby_pid=""
cleanup() {
  if [ -n "$lobby_pid" ]; then
    kill "$lobby_pid" 2>/dev/null
    wait "$lobby_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/lobby.out "$work"/state/*.log; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 15 "$log" >&2; }
  done
  exit 1
}

# Ports nobody on this machine listens on, TCP for the broker, UDP for the relay.
free_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 25000))  # below the relay's own range
    if ! ss -Hltun "sport = :$port" | grep -q .; then
      echo "$port"
      return 0
    fi
  done
  return 1
}
broker_port=$(free_port) || fail "no free port"
relay_port=$(free_port) || fail "no free port"
[ "$broker_port" != "$relay_port" ] || relay_port=$((broker_port + 1))

bash "$source_dir/tools/lobby.sh" --address 127.0.0.1 --broker-port "$broker_port" \
  --relay-port "$relay_port" --dir "$work/state" --issuer "$issuer" --guard "$guard" \
  --lifetime 600 >"$work/lobby.out" 2>&1 &
lobby_pid=$!
for _ in $(seq 1 300); do
  grep -q "^Lobby ready: players start the game with --lobby 127.0.0.1:$broker_port$" \
    "$work/lobby.out" && break
  kill -0 "$lobby_pid" 2>/dev/null || fail "the lobby stopped before it was ready"
  sleep 0.1
done
grep -q "^Lobby ready" "$work/lobby.out" || fail "the lobby was not ready within 30 seconds"
[ "$(stat -c %a "$work/state/secret")" = 600 ] || fail "the relay's secret is readable by others"

"$probe" check "127.0.0.1:$broker_port" "$work/state/secret" "127.0.0.1:$relay_port" 600 \
  >"$work/probe.out" 2>&1
probe_status=$?
cat "$work/probe.out"
[ $probe_status -eq 0 ] || fail "the lobby's checks failed"

# The relay takes what the issuer hands out, refuses anything else, and
# relays to no loopback peer.
read -r user password < <(awk '/^credentials /{ print $2, $3 }' "$work/probe.out")
[ -n "$user" ] || fail "the probe printed no credentials"
allocate() {
  timeout 20 turnutils_uclient -u "$user" -w "$1" -p "$relay_port" -n 1 -m 1 -e 127.0.0.1 \
    127.0.0.1 2>&1
}
good=$(allocate "$password")
echo "$good" | grep -q "Forbidden IP" || fail "the relay did not allocate with the issued credentials: $good"
echo "$good" | grep -q "Cannot complete Allocation" && fail "the relay refused the issued credentials"
bad=$(allocate "${password%?????}AAAA=")
echo "$bad" | grep -q "Cannot complete Allocation" || fail "the relay allocated with a wrong password: $bad"
echo "ok: the relay allocates with the issued credentials only, and relays to no loopback peer"

# TERM stops all three of the lobby's programs.
kill "$lobby_pid"
wait "$lobby_pid"
lobby_pid=""
relay_pid=$(cat "$work/state/relay.pid" 2>/dev/null)
[ -n "$relay_pid" ] && kill -0 "$relay_pid" 2>/dev/null && fail "the relay outlived the lobby"
ss -Hltn "sport = :$broker_port" | grep -q . && fail "the broker outlived the lobby"
pgrep -f -- "--secret-file $work/state/secret" >/dev/null && fail "the issuer outlived the lobby"
echo "ok: stopping the lobby stops the broker, the relay and the issuer"
exit 0

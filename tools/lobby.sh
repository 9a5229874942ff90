#!/bin/bash
# Runs a lobby on this machine for a LAN party or a test: the broker where
# players meet by room code (mosquitto), the relay for players with no direct
# path (coturn) and the issuer of the relay's credentials, in the foreground
# until Ctrl-C. What it keeps (the secret, passwords, logs) stays in --dir.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=$(dirname "$here")

usage() {
  cat <<EOF
Usage: tools/lobby.sh [--address IP] [--broker-port PORT] [--relay-port PORT] [--dir DIR]
                      [--issuer FILE] [--guard FILE] [--lifetime SECONDS]
  --address      the address players reach (default: this machine's first
                 address that is not loopback)
  --broker-port  the broker's TCP port (default 1883)
  --relay-port   the relay's UDP port (default 3478)
  --dir          where the lobby keeps its secret and logs
                 (default: \$XDG_STATE_HOME/flailwick-lobby)
  --issuer       the flailwick-issuer program (default: the release build's)
  --guard        the broker's wildcard guard plugin (default: the release build's)
  --lifetime     how long the relay's credentials last (default 3600 seconds)
EOF
  exit 2
}

address=""
broker_port=1883
relay_port=3478
dir="${XDG_STATE_HOME:-$HOME/.local/state}/flailwick-lobby"
issuer=""
guard=""
lifetime=3600
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --address) address=$2 ;;
    --broker-port) broker_port=$2 ;;
    --relay-port) relay_port=$2 ;;
    --dir) dir=$2 ;;
    --issuer) issuer=$2 ;;
    --guard) guard=$2 ;;
    --lifetime) lifetime=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for port in "$broker_port" "$relay_port"; do
  [[ $port =~ ^[1-9][0-9]{0,4}$ ]] && [ "$port" -le 65535 ] || { echo "Not a port: $port" >&2; exit 2; }
done

# shellcheck source=tools/deps.sh
. "$here/deps.sh"
ensure_packages "${FLAILWICK_LOBBY_PACKAGES[@]}"

if [ -z "$address" ]; then
  address=$(ip -o -4 addr show scope global 2>/dev/null | awk '{ split($4, a, "/"); print a[1]; exit }')
  [ -n "$address" ] || { echo "No address but loopback here: name one with --address" >&2; exit 1; }
fi
if [ -z "$issuer" ] && [ -z "$guard" ] && [ ! -x "$source/build/release/flailwick-issuer" ] &&
  ! command -v flailwick-issuer >/dev/null; then
  echo "Building the issuer and the broker's wildcard guard in build/release"
  ensure_packages "${FLAILWICK_GAME_PACKAGES[@]}"
  (cd "$source" && cmake --preset release >/dev/null &&
    cmake --build --preset release -j "$(nproc)" --target flailwick-issuer flailwick_wildcard_guard)
fi
[ -n "$issuer" ] || issuer=$(command -v flailwick-issuer || echo "$source/build/release/flailwick-issuer")
[ -x "$issuer" ] || { echo "No flailwick-issuer at $issuer" >&2; exit 1; }
[ -n "$guard" ] || guard="$source/build/release/flailwick_wildcard_guard.so"
if [ ! -r "$guard" ]; then
  echo "Warning: no wildcard guard at $guard, so one player could read every room's messages" >&2
  guard=""
fi

mkdir -p "$dir"
bash "$source/server/lobby-secrets" "$dir" "$source/server/turnserver.conf"
broker=""
pids=()
stop_all() {
  trap - INT TERM EXIT
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -z "$broker" ] || rm -rf "$broker"
}
trap 'stop_all; exit 0' INT TERM
trap stop_all EXIT

# Started as root, the broker becomes its own user, who may not reach into
# --dir: it gets a directory of its own with copies of what it reads.
broker=$(mktemp -d)
cp "$source/server/acl" "$dir/passwd" "$broker/"
if [ -n "$guard" ]; then
  cp "$guard" "$broker/wildcard_guard.so"
  guard="$broker/wildcard_guard.so"
fi
{
  [ -z "$guard" ] || echo "plugin $guard"
  sed -e "s|^listener .*|listener $broker_port $address|" \
    -e "s|^password_file .*|password_file $broker/passwd|" \
    -e "s|^acl_file .*|acl_file $broker/acl|" -e "/^plugin /d" "$source/server/mosquitto.conf"
} >"$broker/mosquitto.conf"
if [ "$(id -u)" -eq 0 ] && id mosquitto >/dev/null 2>&1; then
  chown -R mosquitto: "$broker"
fi

mosquitto -c "$broker/mosquitto.conf" >"$dir/broker.log" 2>&1 &
pids+=($!)
turnserver -c "$dir/turnserver.conf" --listening-ip "$address" --relay-ip "$address" \
  --listening-port "$relay_port" --pidfile "$dir/relay.pid" --userdb "$dir/relay.db" \
  >"$dir/relay.log" 2>&1 &
pids+=($!)
bracketed=$address
[[ $address == *:* ]] && bracketed="[$address]"
"$issuer" --broker "$bracketed:$broker_port" --secret-file "$dir/secret" \
  --password-file "$dir/issuer-password" --relay "$bracketed:$relay_port" --lifetime "$lifetime" \
  >"$dir/issuer.log" 2>&1 &
pids+=($!)

# Ready once the issuer is at its post (so the broker is up) and the relay
# listens; whichever stops first takes the lobby down.
names=(broker relay issuer)
for _ in $(seq 1 300); do
  for i in 0 1 2; do
    if ! kill -0 "${pids[$i]}" 2>/dev/null; then
      echo "The ${names[$i]} stopped at once; its log, $dir/${names[$i]}.log:" >&2
      tail -n 20 "$dir/${names[$i]}.log" >&2
      exit 1
    fi
  done
  if grep -q "answering requests" "$dir/issuer.log" &&
    ss -Hlun "sport = :$relay_port" 2>/dev/null | grep -q .; then
    echo "Lobby ready: players start the game with --lobby $bracketed:$broker_port"
    echo "(relay on UDP port $relay_port; logs and secret in $dir; Ctrl-C stops it)"
    while true; do
      wait -n "${pids[@]}" || true
      for i in 0 1 2; do
        if ! kill -0 "${pids[$i]}" 2>/dev/null; then
          echo "The ${names[$i]} stopped; its log is $dir/${names[$i]}.log" >&2
          exit 1
        fi
      done
    done
  fi
  sleep 0.1
done
echo "The lobby did not come up within 30 seconds; logs in $dir" >&2
exit 1

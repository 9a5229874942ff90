# A small internet in network namespaces, sourced by whatever needs two
# players behind routers (tests/net/ice_paths.sh, measurements, a lobby run
# by hand). Needs root, iproute2 and iptables; the relay needs coturn's
# turnserver. Nothing in it routes to this machine's own interfaces: the
# "internet" is 203.0.113.0/24 on a bridge in the public namespace, and each
# router's only way out is that bridge.
#
#   lab_up NAT_A NAT_B     make the lab. NAT kinds: "preserving" (the router
#                          keeps the client's port where it can, MASQUERADE) or
#                          "random" (a fresh port for every mapping,
#                          MASQUERADE --random-fully). NAT_B "same" puts client
#                          B on router A's LAN beside client A. Every router
#                          drops what arrives unasked on its WAN.
#   lab_down               kill every process inside the lab's namespaces and
#                          remove them (with their links) and the lab's files;
#                          safe to call twice, meant for `trap lab_down EXIT`.
#   lab_run_public CMD...  run CMD in the public namespace (203.0.113.1)
#   lab_run_a CMD...       run CMD on client A (10.0.1.2, behind router A)
#   lab_run_b CMD...       run CMD on client B (10.0.2.2, or 10.0.1.3 if "same")
#   lab_public_ip          the public namespace's address, where servers listen
#   lab_start_relay        start coturn on lab_public_ip:3478 with a shared
#                          secret (LAB_TURN_SECRET), its log in $LAB_DIR/turn.log
#   lab_stop_relay         stop it
#   lab_relay_credentials NAME [SECONDS]
#                          print "USER PASS": time-limited TURN credentials
#                          (USER "expiry:NAME", PASS base64 HMAC-SHA1 of USER)
#   lab_can_run            returns 0 where the lab can be made (root, namespaces)
#   lab_wait_for_line FILE PATTERN SECONDS
#                          true once a line of FILE matches PATTERN, false
#                          after SECONDS (what a server or game printed)
#
# LAB_DIR is a temporary directory of the lab, shared by every namespace.

LAB_ID="fwl$$"
LAB_PUBLIC="${LAB_ID}pub"
LAB_ROUTER_A="${LAB_ID}ra"
LAB_ROUTER_B="${LAB_ID}rb"
LAB_CLIENT_A="${LAB_ID}ca"
LAB_CLIENT_B="${LAB_ID}cb"
LAB_TURN_SECRET="${LAB_TURN_SECRET:-lab-secret-$$}"
LAB_TURN_PORT=3478
LAB_DIR=""
LAB_CLIENT_B_ROUTER=""

lab_public_ip() { echo 203.0.113.1; }

lab_wait_for_line() {
  local i
  for i in $(seq 1 $(($3 * 10))); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

lab_can_run() {
  [ "$(id -u)" -eq 0 ] || return 1
  command -v ip >/dev/null && command -v iptables >/dev/null || return 1
  local probe="${LAB_ID}probe"
  ip netns add "$probe" 2>/dev/null || return 1
  local ok=0
  ip netns exec "$probe" iptables -A INPUT -m conntrack --ctstate NEW -j DROP 2>/dev/null || ok=1
  ip netns del "$probe"
  return $ok
}

_lab_namespace() {
  ip netns add "$1" || return 1
  ip -n "$1" link set lo up
  # IPv4 only, so that no address reaches past the lab's own.
  ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
}

# _lab_router NS WAN_IP LAN_PREFIX KIND: a router on the public bridge whose
# LAN is a bridge of its own at LAN_PREFIX.1/24.
_lab_router() {
  local ns=$1 wan=$2 lan=$3 kind=$4
  _lab_namespace "$ns" || return 1
  ip -n "$ns" link add name wan type veth peer name "${ns#"$LAB_ID"}" netns "$LAB_PUBLIC" || return 1
  ip -n "$LAB_PUBLIC" link set "${ns#"$LAB_ID"}" master wanbr up
  ip -n "$ns" addr add "$wan/24" dev wan
  ip -n "$ns" link set wan up
  ip -n "$ns" link add name lan type bridge
  ip -n "$ns" addr add "$lan.1/24" dev lan
  ip -n "$ns" link set lan up
  ip netns exec "$ns" sysctl -qw net.ipv4.ip_forward=1
  local random=()
  case "$kind" in
    preserving) ;;
    random) random=(--random-fully) ;;
    *) echo "nat_lab: unknown NAT kind $kind" >&2; return 1 ;;
  esac
  ip netns exec "$ns" iptables -t nat -A POSTROUTING -o wan -j MASQUERADE "${random[@]}" || return 1
  # A real router lets in only what answers its clients: without this, a
  # path through it would be found that no home router allows.
  ip netns exec "$ns" iptables -A FORWARD -i wan -m conntrack --ctstate NEW -j DROP
  ip netns exec "$ns" iptables -A INPUT -i wan -m conntrack --ctstate NEW -j DROP
}

# _lab_client NS ROUTER_NS PORT_NAME ADDRESS GATEWAY
_lab_client() {
  local ns=$1 router=$2 port=$3 address=$4 gateway=$5
  _lab_namespace "$ns" || return 1
  ip -n "$router" link add name "$port" type veth peer name lan netns "$ns" || return 1
  ip -n "$router" link set "$port" master lan up
  ip -n "$ns" addr add "$address/24" dev lan
  ip -n "$ns" link set lan up
  ip -n "$ns" route add default via "$gateway"
}

lab_up() {
  local natA=$1 natB=$2
  LAB_DIR=$(mktemp -d /tmp/flailwick-lab.XXXXXX) || return 1
  _lab_namespace "$LAB_PUBLIC" || return 1
  ip -n "$LAB_PUBLIC" link add name wanbr type bridge
  ip -n "$LAB_PUBLIC" addr add "$(lab_public_ip)/24" dev wanbr
  ip -n "$LAB_PUBLIC" link set wanbr up
  _lab_router "$LAB_ROUTER_A" 203.0.113.11 10.0.1 "$natA" || return 1
  _lab_client "$LAB_CLIENT_A" "$LAB_ROUTER_A" ca 10.0.1.2 10.0.1.1 || return 1
  if [ "$natB" = same ]; then
    LAB_CLIENT_B_ROUTER=$LAB_ROUTER_A
    _lab_client "$LAB_CLIENT_B" "$LAB_ROUTER_A" cb 10.0.1.3 10.0.1.1 || return 1
  else
    LAB_CLIENT_B_ROUTER=$LAB_ROUTER_B
    _lab_router "$LAB_ROUTER_B" 203.0.113.12 10.0.2 "$natB" || return 1
    _lab_client "$LAB_CLIENT_B" "$LAB_ROUTER_B" cb 10.0.2.2 10.0.2.1 || return 1
  fi
}

lab_run_public() { ip netns exec "$LAB_PUBLIC" "$@"; }
lab_run_a() { ip netns exec "$LAB_CLIENT_A" "$@"; }
lab_run_b() { ip netns exec "$LAB_CLIENT_B" "$@"; }

lab_relay_credentials() {
  local name=$1 seconds=${2:-3600}
  local user pass
  user="$(($(date +%s) + seconds)):$name"
  if command -v openssl >/dev/null; then
    pass=$(printf %s "$user" | openssl dgst -binary -sha1 -hmac "$LAB_TURN_SECRET" | base64)
  else
    pass=$(python3 -c 'import base64, hashlib, hmac, sys
print(base64.b64encode(hmac.new(sys.argv[1].encode(), sys.argv[2].encode(), hashlib.sha1).digest()).decode())' \
      "$LAB_TURN_SECRET" "$user")
  fi
  echo "$user $pass"
}

lab_start_relay() {
  command -v turnserver >/dev/null || { echo "nat_lab: coturn's turnserver is missing" >&2; return 1; }
  local ip
  ip=$(lab_public_ip)
  # It must never relay into a LAN: it would take the lab's private
  # addresses for peers, and one unreachable peer costs the whole allocation.
  lab_run_public turnserver -n --listening-ip="$ip" --relay-ip="$ip" \
    --listening-port="$LAB_TURN_PORT" --min-port=49152 --max-port=49407 \
    --use-auth-secret --static-auth-secret="$LAB_TURN_SECRET" --realm=flailwick.lab \
    --no-cli --no-tcp-relay --no-tls --no-dtls --no-software-attribute \
    --denied-peer-ip=10.0.0.0-10.255.255.255 --denied-peer-ip=172.16.0.0-172.31.255.255 \
    --denied-peer-ip=192.168.0.0-192.168.255.255 --denied-peer-ip=127.0.0.0-127.255.255.255 \
    --db="$LAB_DIR/turndb" --pidfile="$LAB_DIR/turn.pid" \
    --log-file="$LAB_DIR/turn.log" --simple-log --verbose >/dev/null 2>&1 &
  LAB_RELAY_PID=$!
  local i
  for i in $(seq 100); do
    if lab_run_public ss -Hlun "src $ip:$LAB_TURN_PORT" | grep -q .; then return 0; fi
    kill -0 "$LAB_RELAY_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "nat_lab: the relay did not start; its log:" >&2
  cat "$LAB_DIR"/turn*.log >&2 2>/dev/null
  return 1
}

lab_stop_relay() {
  [ -n "${LAB_RELAY_PID:-}" ] || return 0
  kill "$LAB_RELAY_PID" 2>/dev/null
  wait "$LAB_RELAY_PID" 2>/dev/null
  LAB_RELAY_PID=""
}

# Ends every process inside one namespace: ours, since nothing else runs there.
_lab_kill_inside() {
  local pids
  pids=$(ip netns pids "$1" 2>/dev/null) || return 0
  [ -n "$pids" ] || return 0
  kill $pids 2>/dev/null
  local i
  for i in $(seq 20); do
    pids=$(ip netns pids "$1" 2>/dev/null)
    [ -n "$pids" ] || return 0
    sleep 0.1
  done
  kill -KILL $pids 2>/dev/null
}

lab_down() {
  local ns
  for ns in "$LAB_CLIENT_A" "$LAB_CLIENT_B" "$LAB_ROUTER_A" "$LAB_ROUTER_B" "$LAB_PUBLIC"; do
    _lab_kill_inside "$ns"
  done
  [ -n "${LAB_RELAY_PID:-}" ] && wait "$LAB_RELAY_PID" 2>/dev/null
  LAB_RELAY_PID=""
  for ns in "$LAB_CLIENT_A" "$LAB_CLIENT_B" "$LAB_ROUTER_A" "$LAB_ROUTER_B" "$LAB_PUBLIC"; do
    ip netns del "$ns" 2>/dev/null
  done
  if [ -n "$LAB_DIR" ]; then
    rm -rf "$LAB_DIR"
    LAB_DIR=""
  fi
  return 0
}

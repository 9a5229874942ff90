# The Debian packages Flailwick needs, in one place. Sourced by ./play, which
# installs what the game needs to build and run, and by ./check, which adds
# what the tests, benchmarks and style check need.

FLAILWICK_GAME_PACKAGES=(
  g++ cmake make pkg-config                # the build
  libpng-dev zlib1g-dev                    # pictures
  libsdl2-dev libgl-dev libgl1-mesa-dri    # window, OpenGL, sound
  libmosquitto-dev libsodium-dev           # rooms: the lobby's broker, sealed messages
  mosquitto-dev libglib2.0-dev             # a lobby's wildcard guard and credential issuer
  libnice-dev                              # finding a path to the other player (ICE)
  libminiupnpc-dev libnatpmp-dev           # asking the router for a port
)

FLAILWICK_TEST_PACKAGES=(
  libgtest-dev libbenchmark-dev            # tests and benchmarks
  xvfb xauth xdotool x11-utils imagemagick # real-window tests and screenshots
  clang-format                             # the style check
  clang libclang-rt-14-dev                 # the replay reader's fuzzer (libFuzzer)
  desktop-file-utils appstream man-db      # checking the installed entry, metainfo and manual
  dpkg-dev file                            # the Debian package's dependencies (dpkg-shlibdeps)
  mosquitto coturn iptables                # a lobby and routers in network namespaces
  openssl                                  # the NAT lab's time-limited relay credentials
)

# What tools/lobby.sh runs beside the game's own issuer.
FLAILWICK_LOBBY_PACKAGES=(
  mosquitto coturn iproute2                # the broker, the relay, ip and ss
)

# ensure_packages name...: installs the named packages that are missing.
ensure_packages() {
  if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "This system has no dpkg, so the packages cannot be checked. Make sure these are"
    echo "installed (Debian's names; your distribution's may differ): $*"
    return 0
  fi
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "There is no apt-get here to install them; install them with your package manager." >&2
    exit 1
  fi
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing packages: ${missing[*]}" >&2
      echo "Installing them needs root, and sudo is not available: run as root or install them." >&2
      exit 1
    fi
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

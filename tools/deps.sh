# The Debian packages the game, its build and its tests need: the one list.
# Sourced by ./play and ./check.

FLAILWICK_PACKAGES=(
  g++ cmake make pkg-config                # the build
  libpng-dev zlib1g-dev                    # pictures
  libsdl2-dev libgl-dev libgl1-mesa-dri    # window, OpenGL, sound
  libgtest-dev libbenchmark-dev            # tests and benchmarks
  xvfb xauth xdotool x11-utils imagemagick # real-window tests and screenshots
  clang-format                             # the style check
)

ensure_packages() {
  local missing=()
  local pkg
  for pkg in "${FLAILWICK_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

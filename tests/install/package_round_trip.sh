#!/usr/bin/env bash
# Makes the Debian package from the release build, checks that it carries its
# copyright file, changelog, manual page and completion, installs it with apt-get,
# starts the installed game under Xvfb from its desktop entry's Exec line,
# checks that it keeps its files in the player's data directory and that its
# window names the entry, then removes the package and checks that nothing of
# it is left in /usr. Installing into /usr needs root, apt-get and dpkg, as CI
# has; elsewhere the test is skipped.
set -euo pipefail
id=org.flailwick.Flailwick
src=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "installing a package needs root"
command -v apt-get >/dev/null && command -v dpkg >/dev/null || skip "no apt-get and dpkg here"
if dpkg-query -W -f='${Status}' flailwick 2>/dev/null | grep -q 'ok installed'; then
  skip "a flailwick package is installed already, and this test would remove it"
fi
source "$src/tests/window/lib.sh"

work=$(mktemp -d)
installed=0
cleanup() {
  set +e
  stop_display
  # A failure halfway must not leave the package behind.
  if [ "$installed" = 1 ]; then
    env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq flailwick >/dev/null 2>&1 ||
      dpkg --purge flailwick >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The release build is reused where it is; only what changed is built.
release="$src/build/release"
[ -f "$release/CMakeCache.txt" ] || (cd "$src" && cmake --preset release >/dev/null)
cmake --build "$release" -j "$(nproc)" >/dev/null
(cd "$release" && cpack -G DEB -B "$work/package" >"$work/cpack.log" 2>&1) ||
  fail "cpack failed: $(tail -n 5 "$work/cpack.log")"
deb=$(echo "$work"/package/flailwick_*.deb)
[ -f "$deb" ] || fail "cpack made no flailwick_*.deb"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2-2.0-0 libgl1 libpng16-16 libc6; do
  [[ "$depends" == *"$lib"* ]] || fail "the package does not depend on $lib: $depends"
done
dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '^\./usr/' && fail "the package installs outside /usr"
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in doc/flailwick/copyright doc/flailwick/changelog.gz man/man6/flailwick.6.gz \
  bash-completion/completions/flailwick; do
  grep -qx "\./usr/share/$file" <<<"$contents" || fail "the package has no /usr/share/$file"
done

installed=1
(cd "$work/package" && env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  -o DPkg::Lock::Timeout=120 --no-install-recommends "./$(basename "$deb")" >"$work/apt.log" 2>&1) ||
  fail "apt-get install failed: $(tail -n 5 "$work/apt.log")"
dpkg-query -L flailwick >"$work/files"

# Started as the menu starts it: the Exec line of the entry, for a player
# whose data directory is the default one under a home of its own.
entry=/usr/share/applications/$id.desktop
[ -f "$entry" ] || fail "no desktop entry in /usr/share/applications"
command=$(sed -n '/^\[Desktop Entry\]$/,/^\[/s/^Exec=//p' "$entry")
[ "$command" = '"/usr/libexec/flailwick/start-from-menu"' ] || fail "Exec is $command"
export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_DATA_HOME SDL_VIDEODRIVER WAYLAND_DISPLAY
PLAYERS_DATA_HOME=1
start_display
start_game_in "$work" "$(eval "printf '%s' $command")"
WIN=$(find_window) || exit 1
point_at "$WIN"
wait_for_title
class=$(xprop -id "$WIN" WM_CLASS)
[[ "$class" == *"\"$id\", \"$id\""* ]] || fail "the window's class is not $id: $class"
data="$HOME/.local/share/flailwick"
[ -f "$data/prefs.fwk" ] || fail "no prefs.fwk in $data"
[ -f "$data/scores.txt" ] || fail "no scores.txt in $data"
[ ! -e "$work/prefs.fwk" ] || fail "prefs.fwk was written where the game was started"
hold_key Escape 0.4           # ends the title picture
wait_for_menu
xdotool key Escape            # leaves from the main menu
wait_exit 20
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(game_errors)"

env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=120 flailwick \
  >"$work/apt.log" 2>&1 || fail "apt-get purge failed: $(tail -n 5 "$work/apt.log")"
installed=0
left=$(while read -r path; do [ -d "$path" ] || [ ! -e "$path" ] || echo "$path"; done <"$work/files")
[ -z "$left" ] || fail "left in /usr after removal: $left"
[ ! -e /usr/libexec/flailwick ] || fail "/usr/libexec/flailwick is left after removal"
echo "ok: $(basename "$deb") ($(stat -c %s "$deb") bytes, depends on $depends) installed," \
  "started from its entry into the data directory with window class $id, and removed without a trace"

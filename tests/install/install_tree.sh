#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the game, a valid desktop entry whose launcher exists, its action, the icons
# of every size, valid software-centre data naming them all by one id, and
# that a start from the menu keeps the game's files in the player's data
# directory.
set -euo pipefail
build=$1
id=org.flailwick.Flailwick
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix="$root/prefix with space"
cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/flailwick" ] || fail "no game in bin/"
entry="$prefix/share/applications/$id.desktop"
[ -f "$entry" ] || fail "no desktop entry $id.desktop"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
# The Exec line of the entry's group $1.
exec_of() { sed -n "/^\[$1\]$/,/^\[/s/^Exec=//p" "$entry"; }
launcher="$prefix/libexec/flailwick/start-from-menu"
[ "$(exec_of 'Desktop Entry')" = "\"$launcher\"" ] || fail "Exec is $(exec_of 'Desktop Entry')"
[ -x "$launcher" ] || fail "the launcher is not installed"
grep -q '^Actions=watch-last-fight;$' "$entry" || fail "the entry offers no replay action"
[ "$(exec_of 'Desktop Action watch-last-fight')" = "\"$launcher\" --replay" ] ||
  fail "the replay action's Exec is $(exec_of 'Desktop Action watch-last-fight')"
grep -q "^Icon=$id$" "$entry" || fail "the entry does not name the icon $id"
grep -q "^StartupWMClass=$id$" "$entry" || fail "the entry does not name the window class $id"
for size in 16 24 32 48 64 128 256 512; do
  icon="$prefix/share/icons/hicolor/${size}x$size/apps/$id.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] || fail "no $size x $size icon"
done

# The tree's check also finds the entry that the metainfo launches.
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
[ -f "$metainfo" ] || fail "no metainfo $id.metainfo.xml"
appstreamcli validate-tree --no-net --explain "$prefix" >"$root/validate.txt" 2>&1 ||
  fail "the metainfo is not valid: $(cat "$root/validate.txt")"
# Each screenshot the software centre is told of is kept in the tree.
src=$(cd "$(dirname "$0")/../.." && pwd)
for shot in $(sed -n 's|.*<image>.*/screenshots/\(.*\)</image>.*|\1|p' "$metainfo"); do
  [ -f "$src/desktop/screenshots/$shot" ] || fail "no desktop/screenshots/$shot"
done

# Started from the menu without a display, the game saves its files where the
# launcher put it, then stops at the display.
export XDG_DATA_HOME="$root/data"
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
(cd "$root" && "$launcher" >/dev/null 2>&1) && fail "the game ran without a display"
[ -f "$XDG_DATA_HOME/flailwick/prefs.fwk" ] || fail "no prefs.fwk in the data directory"
[ -f "$XDG_DATA_HOME/flailwick/scores.txt" ] || fail "no scores.txt in the data directory"
[ ! -e "$root/prefs.fwk" ] || fail "prefs.fwk was written where the menu started the game"
echo "ok: game, valid desktop entry with its action, launcher, icons of every size and valid" \
  "metainfo installed; menu starts use the data directory"

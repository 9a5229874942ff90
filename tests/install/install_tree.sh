#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the game, a valid desktop entry whose launcher exists, the icon, and that a
# start from the menu keeps the game's files in the player's data directory.
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix="$root/prefix with space"
cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/flailwick" ] || fail "no game in bin/"
entry="$prefix/share/applications/flailwick.desktop"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
launcher=$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$entry")
[ "$launcher" = "$prefix/libexec/flailwick/start-from-menu" ] || fail "Exec names $launcher"
[ -x "$launcher" ] || fail "the launcher is not installed"
icon="$prefix/share/icons/hicolor/256x256/apps/flailwick.png"
[ "$(identify -format '%wx%h' "$icon")" = 256x256 ] || fail "the icon is not 256 x 256"
grep -q '^Icon=flailwick$' "$entry" || fail "the entry does not name the icon"

# Started from the menu without a display, the game saves its files where the
# launcher put it, then stops at the display.
export XDG_DATA_HOME="$root/data"
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
(cd "$root" && "$launcher" >/dev/null 2>&1) && fail "the game ran without a display"
[ -f "$XDG_DATA_HOME/flailwick/prefs.fwk" ] || fail "no prefs.fwk in the data directory"
[ -f "$XDG_DATA_HOME/flailwick/scores.txt" ] || fail "no scores.txt in the data directory"
[ ! -e "$root/prefs.fwk" ] || fail "prefs.fwk was written where the menu started the game"
echo "ok: game, valid desktop entry, launcher and icon installed; menu starts use the data directory"

#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the game, a valid desktop entry whose launcher exists, its action, the icons
# of every size, valid software-centre data naming them all by one id, the
# licences, changelog, manual page and completion, and that a start from the
# menu keeps the game's files in the player's data directory.
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
grep -q '^Actions=host-online-game;join-online-game;watch-last-fight;$' "$entry" ||
  fail "the entry does not offer its three actions"
for action in "watch-last-fight --replay" "host-online-game --host" "join-online-game --join"; do
  [ "$(exec_of "Desktop Action ${action% *}")" = "\"$launcher\" ${action#* }" ] ||
    fail "the ${action% *} action's Exec is $(exec_of "Desktop Action ${action% *}")"
done
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
# Pedantic validation finds nothing but the capital letters of the id, which
# stays as it is: the desktop already knows the game by it.
appstreamcli validate --pedantic --no-net "$metainfo" >"$root/pedantic.txt" 2>&1 || true
issues=$(grep -E '^[EWIP]: ' "$root/pedantic.txt" | grep -v "^P: $id:[0-9]*: cid-contains-uppercase-letter $id$" || true)
[ -z "$issues" ] || fail "the metainfo has issues: $(cat "$root/pedantic.txt")"
grep -q '^P: .*cid-contains-uppercase-letter' "$root/pedantic.txt" ||
  fail "the validator no longer reports the id's capitals, so this check sees nothing: $(cat "$root/pedantic.txt")"
version=$("$prefix/bin/flailwick" --version | head -n 1)
[[ "$version" =~ ^Flailwick\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version says $version"
grep -q "<release version=\"${version#Flailwick }\"" "$metainfo" || fail "the release list does not name $version"
grep -q '<project_license>GPL-3.0-or-later AND CC-BY-SA-4.0</project_license>' "$metainfo" ||
  fail "the metainfo does not name both licences"

# The licences, the changelog, the manual page and the completion.
doc="$prefix/share/doc/flailwick"
head -n 1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "no machine-readable copyright file"
for licence in GPL-3+ CC-BY-SA-4.0 CC0-1.0; do
  grep -q "^License: $licence$" "$doc/copyright" || fail "the copyright file has no $licence"
done
gzip -dc "$doc/changelog.gz" >"$root/changelog"
[ "$(dpkg-parsechangelog -l "$root/changelog" -S Version 2>"$root/changelog.err")" = "${version#Flailwick }" ] &&
  [ ! -s "$root/changelog.err" ] || fail "the changelog does not open with this version: $(cat "$root/changelog.err")"
page="$prefix/share/man/man6/flailwick.6.gz"
MANWIDTH=80 man --warnings -l "$page" >"$root/man.txt" 2>"$root/man.err" || fail "man cannot show $page"
[ ! -s "$root/man.err" ] || fail "man warns: $(cat "$root/man.err")"
for option in $("$prefix/bin/flailwick" --help | sed -n 's/^  \(--[a-z]*\).*/\1/p'); do
  grep -q -- "^       $option" "$root/man.txt" || fail "the manual page does not describe $option"
done
completion="$prefix/share/bash-completion/completions/flailwick"
mkdir "$root/fights" "$root/fights/older"
touch "$root/fights/fight.fwr" "$root/fights/notes.txt"
offered=$(cd "$root/fights" && bash -c 'source "$1"
  COMP_WORDS=(flailwick --ver); COMP_CWORD=1; _flailwick; echo "${COMPREPLY[*]}"
  COMP_WORDS=(flailwick --verify ""); COMP_CWORD=2; _flailwick; echo "${COMPREPLY[*]}"' _ "$completion")
[ "$offered" = $'--verify --version\nolder fight.fwr' ] || fail "the completion offers: $offered"

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
echo "ok: game, valid desktop entry with its action, launcher, icons of every size, valid" \
  "metainfo, copyright, changelog, manual page and completion installed; menu starts use the data directory"

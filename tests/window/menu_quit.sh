#!/usr/bin/env bash
# The real binary in an empty directory: a 1024 x 768 window titled Flailwick,
# Esc ends the title and Esc in the menu ends the program cleanly, leaving the
# two files with their default contents.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT

start_display
start_game "$GAME"

WIN=$(find_window) || exit 1
geometry=$(xwininfo -id "$WIN")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
[ "$width" = 1024 ] && [ "$height" = 768 ] || fail "client area is ${width}x${height}, not 1024x768"

point_at "$WIN"
wait_for_title
hold_key Escape 0.4     # ends the title picture
wait_for_menu
xdotool key Escape      # leaves from the main menu
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(cat game.err)"

printf '1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n10\r\n0\r\n1\r\n1\r\n3\r\n' >expected.prefs
for i in $(seq 1 20); do printf 'NOBODY\r\n0\r\n'; done >expected.scores
cmp -s prefs.fwk expected.prefs || fail "prefs.fwk differs from the defaults"
cmp -s scores.txt expected.scores || fail "scores.txt differs from the defaults"
[ "$(ls | grep -cv -e '^expected' -e '^game.err$')" = 2 ] || fail "unexpected files: $(ls)"
echo "ok: window 1024x768, clean exit, default files"

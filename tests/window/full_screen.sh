#!/usr/bin/env bash
# FULLSCREEN=1 on a display that offers no 1024 x 768 mode (Xvfb has only
# 1280 x 1024): the game opens full screen at the desktop's mode with its
# picture scaled to 1280 x 960 between black bars, and Esc leaves cleanly.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT

start_display
WORK_DIR=$(mktemp -d)
printf '1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n1\r\n10\r\n0\r\n1\r\n1\r\n3\r\n' >"$WORK_DIR/prefs.fwk"
cp "$WORK_DIR/prefs.fwk" "$WORK_DIR/expected.prefs"
start_game_in "$WORK_DIR" "$GAME"
WIN=$(find_window) || exit 1
geometry=$(xwininfo -id "$WIN")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
[ "$width" = 1280 ] && [ "$height" = 1024 ] || fail "full screen is ${width}x${height}"

# The title's caption and the menu's QUIT, scaled by 1.25 below a 32-pixel bar: from y = 32 + 500 x 1.25.
scaled_title() { has_pixels "$1" 200 "$WHITE" 1280x50+0+657; }
scaled_menu() { has_pixels "$1" 300 "$GREY" 1280x120+0+657 && bars_black "$1"; }
bars_black() { lacks_pixels "$1" 'r + g + b > 0' 1280x32+0+0 && lacks_pixels "$1" 'r + g + b > 0' 1280x32+0+992; }
point_at "$WIN"
wait_until 60 "scaled title picture" scaled_title
hold_key Escape 0.4
wait_until 60 "scaled main menu" scaled_menu
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SCREEN" "$FLAILWICK_SHOTS/full_screen_menu.png"
xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(game_errors)"
cmp -s prefs.fwk expected.prefs || fail "prefs.fwk changed"
echo "ok: full screen at 1280x1024, the picture scaled between black bars, clean exit"

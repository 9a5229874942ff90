#!/usr/bin/env bash
# Whole games in the real window: two options changed and saved; a one-player
# game won level by level with the knockout chord (7 and 9 held) to the name
# entry and the high-score table; then the SCORES screen. The game runs on a
# clock four times as fast (tools/fast_clock.cpp): the twenty levels are the
# headless whole game's to check, this test's are the real keys, the name typed
# and the table. Screenshots go to $FLAILWICK_SHOTS when it is set.
set -u
GAME="$(realpath "$(dirname "$1")/flailwick_fast_clock")"
source "$(dirname "$0")/lib.sh"
trap 'xdotool keyup 7 9 space Return 2>/dev/null; stop_display' EXIT

keep() { [ -z "${FLAILWICK_SHOTS:-}" ] || cp "$SCREEN" "$FLAILWICK_SHOTS/$1.png"; }
# Presses key $1, then waits for $2, told by the predicate and arguments after it.
press() { xdotool key "$1"; wait_until 30 "$2" "${@:3}"; }
# Enter held for a frame or more: the name entry and the table read it held.
# At four times the speed 20 frames take 83 ms, so the press is let go before
# the table it opens would read it too.
confirm() { xdotool keydown Return sleep 0.04 keyup Return; }
back_in_menu() { is_menu "$1" && ! is_options "$1"; }

start_at_menu "$GAME"

press Down "OPTIONS highlighted" menu_selected 2
press Return "options screen" is_options
press Right "GRAVITY 2" option_changed 1 "$(option_pixels 1 "$SCREEN")"
press Up "RESET OPTIONS highlighted" option_selected 11
press Up "SOUNDS VOLUME highlighted" option_selected 10
press Left "SOUNDS VOLUME 9" option_changed 10 "$(option_pixels 10 "$SCREEN")"
keep options
press Escape "main menu" back_in_menu
cmp -s prefs.fwk <(printf '1\r\n4\r\n5\r\n1\r\n5\r\n1\r\n3\r\n0\r\n9\r\n0\r\n2\r\n1\r\n3\r\n') ||
  fail "prefs.fwk: $(od -c prefs.fwk | head -n 3)"

# PLAY, 1 PLAYER, the chord held: each fight is won at once. Space held from
# the first summary on leaves every summary as it comes, and not the name entry.
xdotool key Return
wait_for_mode_choice
xdotool key Return
xdotool keydown 7 9
wait_until 60 "summary of level 1" is_summary
keep summary
xdotool keydown space
wait_until 60 "game over" is_game_over
xdotool keyup 7 9 space
xdotool type --delay 50 wolf
wait_until 30 "the typed name" name_shown
keep game_over
confirm
wait_until 30 "high-score table" table_complete
keep table
confirm
wait_for_menu
cmp -s <(head -c 15 scores.txt) <(printf 'WOLF\r\n2000000\r\n') ||
  fail "scores.txt: $(head -c 40 scores.txt | od -c | head -n 3)"

for k in 2 3 4; do press Down "menu entry $k highlighted" menu_selected "$k"; done
press Return "SCORES screen" table_complete
keep scores
press Escape "main menu" is_menu
xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(cat game.err)"
echo "ok: options saved, twenty levels won, WOLF entered with 2000000, SCORES shown"

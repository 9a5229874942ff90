#!/usr/bin/env bash
# A two-player co-op fight in the real window: after holding an arrow key for a
# second the screen shows the fighters and the arena grid; Esc ends the fight
# and returns to the menu, and Esc there ends the program.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT

# How many pixels of the screenshot have a colour matching the awk condition.
count_pixels() {
  convert "$1" -depth 8 txt:- |
    awk -v cond="$2" 'NR > 1 {
      split($2, c, /[(),]/); r = c[2]; g = c[3]; b = c[4];
      if (cond == "light" && r == 175 && g == 175 && b == 175) n++;
      if (cond == "white" && r == 255 && g == 255 && b == 255) n++;
      if (cond == "dark" && r == 65 && g == 65 && b == 65) n++;
      if (cond == "grid" && r == 0 && g > 20 && (b == int(g / 2) || b == int(g / 2) + 1)) n++;
      if (cond == "wall" && r == 112 && g == 112 && b == 112) n++;
      if (cond == "menu" && r == 100 && g == 100 && b == 100) n++;
    } END { print n + 0 }'
}

start_display
start_game "$GAME"
WIN=$(find_window) || exit 1
point_at "$WIN"
sleep 0.5
hold_key space 0.4           # ends the title picture
sleep 0.5
xdotool key Return           # PLAY
sleep 0.5
xdotool key Down; sleep 0.2
xdotool key Down; sleep 0.2
xdotool key Return           # 2 PLAYERS CO-OP
sleep 4                      # the fighters fade in over 120 frames
hold_key Right 1
sleep 0.2
import -window "$WIN" fight.png || fail "no screenshot"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp fight.png "$FLAILWICK_SHOTS/coop_fight.png"

light=$(count_pixels fight.png light)
white=$(count_pixels fight.png white)
dark=$(count_pixels fight.png dark)
grid=$(count_pixels fight.png grid)
echo "pixels: player 1 $light, player 2 $white, opponents $dark, grid $grid"
[ "$light" -gt 150 ] || fail "player 1 is not on the screen"
[ "$white" -gt 150 ] || fail "player 2 is not on the screen"
[ "$dark" -gt 150 ] || fail "the opponents are not on the screen"
[ "$grid" -gt 100 ] || fail "the arena grid is not on the screen"

hold_key Escape 0.3          # the fight sees Esc held: back to the menu
sleep 1.5
import -window "$WIN" menu.png || fail "no screenshot"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp menu.png "$FLAILWICK_SHOTS/after_fight.png"
menu=$(count_pixels menu.png menu)
[ "$menu" -gt 1000 ] || fail "the menu is not showing after Esc"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game ended instead of returning to the menu"

xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(cat game.err)"
echo "ok: fighters and grid on screen, Esc back to the menu, clean exit"

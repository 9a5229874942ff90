#!/usr/bin/env bash
# A two-player co-op fight in the real window: after holding an arrow key for a
# second the screen shows the fighters and the arena grid; Esc ends the fight
# and returns to the menu, and Esc there ends the program.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
GRID='r == 0 && g > 20 && (b == int(g / 2) || b == int(g / 2) + 1)'
# Both players and the opponents in full colour: the fade-in is over.
fighters_shown() {
  has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$WHITE" && has_pixels "$1" 150 "$DARK"
}

start_at_menu "$GAME"
play_mode 3                  # 2 PLAYERS CO-OP
wait_until 90 "fighters in full colour" fighters_shown
hold_key Right 1
shoot "$SHOT_DIR/fight.png" || fail "no screenshot"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SHOT_DIR/fight.png" "$FLAILWICK_SHOTS/coop_fight.png"

light=$(count_pixels "$SHOT_DIR/fight.png" "$LIGHT")
white=$(count_pixels "$SHOT_DIR/fight.png" "$WHITE")
dark=$(count_pixels "$SHOT_DIR/fight.png" "$DARK")
grid=$(count_pixels "$SHOT_DIR/fight.png" "$GRID")
echo "pixels: player 1 $light, player 2 $white, opponents $dark, grid $grid"
[ "$light" -gt 150 ] || fail "player 1 is not on the screen"
[ "$white" -gt 150 ] || fail "player 2 is not on the screen"
[ "$dark" -gt 150 ] || fail "the opponents are not on the screen"
[ "$grid" -gt 100 ] || fail "the arena grid is not on the screen"

hold_key Escape 0.3          # the fight sees Esc held: back to the menu
wait_for_menu
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SCREEN" "$FLAILWICK_SHOTS/after_fight.png"

xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(cat game.err)"
echo "ok: fighters and grid on screen, Esc back to the menu, clean exit"

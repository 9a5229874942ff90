#!/usr/bin/env bash
# Takes the software centre's screenshots from the real game under Xvfb and
# keeps them in desktop/screenshots/, the pictures the metainfo names:
#   tools/make_screenshots.sh [game binary]    (default: build/release/flailwick)
# The fights differ from run to run; look at the pictures before committing them.
set -u
src=$(cd "$(dirname "$0")/.." && pwd)
GAME=$(realpath "${1:-$src/build/release/flailwick}")
out="$src/desktop/screenshots"
source "$src/tests/window/lib.sh"
trap stop_display EXIT
mkdir -p "$out"

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
RED='r >= 120 && g == b && r - g >= 60'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }
blows_shown() { has_pixels "$1" 40 "$RED"; }
# The menu's heading cycles through colours; a light one shows it best.
heading_light() { has_pixels "$1" 3000 'r + g + b >= 360' 600x100+0+30; }
keep() { convert "$SCREEN" -define png:compression-level=9 "$out/$1" && echo "$out/$1"; }

# Player 1 (and, with "a d", player 2) walks at the opponents until a blow
# shows or $1 seconds pass; then the keys are let go.
fight_until_blow() {
  local deadline=$((SECONDS + $1)) keys="" want k
  until blows_shown "$SCREEN" || [ "$SECONDS" -gt "$deadline" ]; do
    game_running || fail "the game ended during the fight: $(game_errors)"
    want="Left ${2:+a}"
    [ "$(mean_x "$SCREEN" "$LIGHT")" -lt "$(mean_x "$SCREEN" "$DARK")" ] && want="Right ${2:+d}"
    if [ "$want" != "$keys" ]; then
      for k in $keys; do xdotool keyup "$k"; done
      keys=$want
      for k in $keys; do xdotool keydown "$k"; done
    fi
    sleep 0.2
    shoot "$SCREEN"
  done
  for k in $keys; do xdotool keyup "$k"; done
}

start_at_menu "$GAME"
wait_until 30 "a light heading" heading_light
keep menu.png

play_mode 1                   # one player against the computer
wait_until 90 "fighters in full colour" fighters_shown
fight_until_blow 30
keep fight.png
hold_key Escape 0.3
wait_for_menu

play_mode 3                   # two players together against the computer
wait_until 90 "fighters in full colour" fighters_shown
fight_until_blow 30 both
keep coop.png
hold_key Escape 0.3
wait_for_menu
xdotool key Escape
wait_exit 10

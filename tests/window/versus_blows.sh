#!/usr/bin/env bash
# Blows in the real window: in "2 PLAYERS VS" both players walk into each
# other; the screen then shows reddened wristbands, hit tints or blood,
# and the sound output, captured by SDL's disk audio driver, is not silent.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
AUDIO_DIR=$(mktemp -d)
trap 'stop_display; rm -rf "$AUDIO_DIR"' EXIT
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$AUDIO_DIR/out.raw"

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
# Red of wristbands, hit tints and blood: a grey body's colour pulled towards
# (255, 0, 0), so green and blue stay equal while red leads them.
RED='r >= 120 && g == b && r - g >= 60'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }
red_pixels() { count_pixels "$1" "$RED"; }
blows_shown() { [ "$(red_pixels "$1")" -ge 40 ]; }

start_at_menu "$GAME"
play_mode 2                  # 2 PLAYERS VS
wait_until 90 "both fighters in full colour" fighters_shown

# The players start on random sides and blows throw them about: every look at
# the screen turns each towards the other again, until a blow shows.
keys=""
aim() {
  local want="Left d"
  [ "$(mean_x "$SCREEN" "$LIGHT")" -lt "$(mean_x "$SCREEN" "$DARK")" ] && want="Right a"
  [ "$want" = "$keys" ] && return 0
  for k in $keys; do xdotool keyup "$k"; done
  keys=$want
  for k in $keys; do xdotool keydown "$k"; done
}
deadline=$((SECONDS + 90))
until blows_shown "$SCREEN"; do
  [ "$SECONDS" -le "$deadline" ] || fail "no reddened wristbands, hit tints or blood after 90s"
  game_running || fail "the game ended during the fight: $(game_errors)"
  aim
  sleep 0.2
  shoot "$SCREEN"
done
for k in $keys; do xdotool keyup "$k"; done
cp "$SCREEN" "$SHOT_DIR/blows.png"
[ -n "${FLAILWICK_SHOTS:-}" ] && cp "$SCREEN" "$FLAILWICK_SHOTS/versus_blows.png"
echo "red pixels: $(red_pixels "$SHOT_DIR/blows.png")"

hold_key Escape 0.3          # leaves the fight for the menu
wait_for_menu
xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(game_errors)"

[ -s "$SDL_DISKAUDIOFILE" ] || fail "no audio was captured"
loud=$(tr -d '\000' <"$SDL_DISKAUDIOFILE" | head -c 4096 | wc -c)
[ "$loud" -gt 0 ] || fail "the captured audio is all silence"
echo "ok: blows on screen, $(stat -c %s "$SDL_DISKAUDIOFILE") bytes of audio, not silent"

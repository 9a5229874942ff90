#!/usr/bin/env bash
# The real game in a real window, driven by SDL's virtual game pad from the
# main menu's PLAY to a fight, in which the pad moves player 1.
set -u
CHECK="$(realpath "$(dirname "$1")/flailwick_pad_check")"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT

start_display
# Nothing else here takes the keyboard focus the pad's events would wait for.
export SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS=1
start_game "$CHECK"
WIN=$(find_window) || exit 1
wait_exit 120
[ "$GAME_STATUS" = 0 ] || fail "$(game_errors)"
echo "ok: PLAY, 1 PLAYER and a fighter moved, all from the pad"

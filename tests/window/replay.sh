#!/usr/bin/env bash
# A versus fight played with real keys is recorded; --verify passes on the
# file, and --replay plays it in a window to its end and leaves by itself;
# with nothing recorded, --replay says so in a window.
set -u
GAME="$(realpath "$1")"
source "$(dirname "$0")/lib.sh"
trap 'stop_display' EXIT

LIGHT='r == 175 && g == 175 && b == 175'
DARK='r == 65 && g == 65 && b == 65'
fighters_shown() { has_pixels "$1" 150 "$LIGHT" && has_pixels "$1" 150 "$DARK"; }

start_at_menu "$GAME"
play_mode 2                  # 2 PLAYERS VS
wait_until 90 "both fighters in full colour" fighters_shown
xdotool keydown Right keydown a
sleep 0.6
xdotool keyup Right keyup a keydown Up
sleep 0.3
xdotool keyup Up
hold_key Escape 0.3          # leaves the fight for the menu
wait_for_menu
xdotool key Escape
wait_exit 10
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS: $(game_errors)"

files=("$XDG_DATA_HOME"/flailwick/replays/*.fwr)
[ "${#files[@]}" = 1 ] && [ -s "${files[0]}" ] || fail "not one recorded fight: ${files[*]}"
echo "recorded: $(basename "${files[0]}"), $(stat -c %s "${files[0]}") bytes"

out=$("$GAME" --verify "${files[0]}") || fail "--verify failed: $out"
case "$out" in *": ok, "*" frames, final hash "*) ;; *) fail "--verify said: $out" ;; esac
echo "$out"

status=0
out=$("$GAME" --verify nowhere.fwr) || status=$?
[ "$status" = 1 ] && [ "$out" = "nowhere.fwr: there is no such file" ] ||
  fail "a missing file: status $status, $out"
status=0
"$GAME" --fast 2>err.txt || status=$?
[ "$status" = 2 ] && grep -q "unknown option '--fast'" err.txt || fail "an unknown option: status $status"

# Without a file, the newest recorded fight; nothing is written meanwhile.
before=$(ls -A)
"$GAME" --replay 2>game.err &
GAME_PID=$!
WIN=$(find_window) || exit 1
wait_until 90 "the recorded fighters" fighters_shown
wait_exit 120
[ "$GAME_STATUS" = 0 ] || fail "--replay exit status $GAME_STATUS: $(game_errors)"
[ "$(ls -A)" = "$before" ] || fail "--replay wrote into the working directory"
[ "$(ls "$XDG_DATA_HOME"/flailwick/replays | wc -l)" = 1 ] || fail "--replay recorded a fight"
# With nothing recorded, a window says so for a moment; the status and the
# line on stderr stay those of a missing file.
mkdir nothing
XDG_DATA_HOME="$PWD/nothing" "$GAME" --replay 2>game.err &
GAME_PID=$!
WIN=$(find_window) || exit 1
said() { has_pixels "$1" 500 'r + g + b > 0' 1024x200+0+280; }
wait_until 30 "the message that nothing is recorded" said
wait_exit 30
[ "$GAME_STATUS" = 2 ] || fail "--replay with nothing recorded: exit status $GAME_STATUS"
grep -q "^flailwick: no recorded fight in $PWD/nothing/flailwick/replays$" game.err ||
  fail "--replay with nothing recorded said: $(game_errors)"
echo "ok: recorded, verified and replayed to its end; nothing to watch said so"

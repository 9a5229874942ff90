#!/usr/bin/env bash
# Recorded frames of the title, the main menu, the controls screen, two
# six-fighter fights and a fight of three, with blood and sparks, drawn
# through the real OpenGL drawing batched and as it was drawn before
# batching: the pixels read back must be the same, byte for byte.
set -u
REPLAY="$(dirname "$(realpath "$1")")/flailwick_pixel_replay"
source "$(dirname "$0")/lib.sh"
trap stop_display EXIT
[ -x "$REPLAY" ] || fail "no replay program at $REPLAY"

start_display
WORK_DIR=$(mktemp -d)
cd "$WORK_DIR"
SHOTS="${FLAILWICK_SHOTS:-$WORK_DIR}"
"$REPLAY" "$SHOTS" >replay.out 2>replay.err
status=$?
cat replay.out
[ "$status" = 0 ] || fail "status $status: $(grep -v '^ALSA' replay.err)"
[ "$(grep -c 'the same pixels' replay.out)" = 6 ] || fail "not every frame was compared"
echo "ok: batched frames match the frames drawn one primitive at a time"

# Shared by the real-window tests: an Xvfb display of our own and helpers to
# find the game's window and drive it with real key events.

fail() { echo "FAIL: $*" >&2; exit 1; }

start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      # Our server must be the one answering, not one still shutting down.
      kill -0 "$XVFB_PID" 2>/dev/null || break
      xdpyinfo >/dev/null 2>&1 && kill -0 "$XVFB_PID" 2>/dev/null && return 0
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  done
  fail "could not start Xvfb"
}

stop_display() {
  [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null
  # Waited for, so the next test never meets this server on its way out.
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  [ -n "${WORK_DIR:-}" ] && rm -rf "$WORK_DIR"
}

# Starts the game in a fresh empty directory, which becomes the current one.
start_game() {
  WORK_DIR=$(mktemp -d)
  cd "$WORK_DIR"
  "$1" 2>game.err &
  GAME_PID=$!
}

# Waits for the window titled Flailwick; prints its id.
find_window() {
  local i id
  for i in $(seq 1 150); do
    id=$(xdotool search --name '^Flailwick$' 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$GAME_PID" 2>/dev/null ||
      fail "the game exited before showing its window: $(grep -v '^ALSA' game.err)"
    sleep 0.1
  done
  fail "no window titled Flailwick"
}

# Key events go to the window under the pointer: there is no window manager.
point_at() {
  xdotool mousemove --window "$1" 300 300
  xdotool windowfocus --sync "$1" 2>/dev/null || true
}

# A press the game sees as held for a while, then released.
hold_key() {
  xdotool keydown "$1"; sleep "${2:-0.3}"; xdotool keyup "$1"
}

# Waits up to $1 seconds for the game to exit; its status lands in GAME_STATUS.
# Not to be called in a subshell: only this shell can wait for the game.
wait_exit() {
  local i
  for i in $(seq 1 $(( $1 * 10 ))); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      GAME_STATUS=0
      wait "$GAME_PID" || GAME_STATUS=$?
      GAME_PID=""
      return 0
    fi
    sleep 0.1
  done
  fail "the game did not exit within $1 s"
}

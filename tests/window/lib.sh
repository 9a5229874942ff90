# Shared by the real-window tests: an Xvfb display of our own, the game in a
# scratch directory, and helpers that drive it with real key events and wait
# for what is on the screen before going on. Nothing here waits on a fixed
# sleep alone: a loaded machine may take many times longer than a quiet one.

fail() { echo "FAIL: $*" >&2; exit 1; }

# A test's host never asks the machine's router for a port.
export FLAILWICK_NO_ROUTER=1

start_display() {
  local dir i n
  dir=$(mktemp -d)
  # -displayfd: the server takes a free display number itself and writes it
  # once it accepts connections, so tests started side by side never share
  # one. -noreset: the server must outlive our short-lived clients (xdotool,
  # import); without it a disconnect can take the display down. A key held
  # down stays one press for a minute: held through fights, it would
  # otherwise repeat into the name entry.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp -ardelay 60000 \
    3>"$dir/display" >/dev/null 2>&1 &
  XVFB_PID=$!
  for i in $(seq 1 300); do
    kill -0 "$XVFB_PID" 2>/dev/null || break
    if [ "$(wc -l <"$dir/display")" -ge 1 ]; then
      n=$(head -n 1 "$dir/display")
      rm -rf "$dir"
      export DISPLAY=":$n"
      xdpyinfo >/dev/null 2>&1 && return 0
      break
    fi
    sleep 0.1
  done
  rm -rf "$dir"
  fail "could not start Xvfb"
}

stop_display() {
  [ -n "${GAME_PID:-}" ] && kill "$GAME_PID" 2>/dev/null
  # Waited for, so the next test never meets this server on its way out.
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  [ -n "${WORK_DIR:-}" ] && rm -rf "$WORK_DIR"
  [ -n "${SHOT_DIR:-}" ] && rm -rf "$SHOT_DIR"
}

# Starts the game in a fresh empty directory, which becomes the current one.
start_game() { start_game_in "$(mktemp -d)" "$1"; }

# Starts the game in directory $1, prepared by the test, which becomes the current one.
start_game_in() {
  WORK_DIR=$1
  SHOT_DIR=$(mktemp -d)
  SCREEN="$SHOT_DIR/screen.png"
  cd "$WORK_DIR"
  # Recorded fights stay in the test's own directory, unless the test is
  # about where the player's data goes.
  [ -n "${PLAYERS_DATA_HOME:-}" ] || export XDG_DATA_HOME="$WORK_DIR/data"
  "$2" 2>game.err &
  GAME_PID=$!
}

game_running() { kill -0 "$GAME_PID" 2>/dev/null; }

game_errors() { grep -v '^ALSA' game.err 2>/dev/null | head -n 5; }

# Waits for the window titled Flailwick; prints its id.
find_window() {
  local i id
  for i in $(seq 1 600); do
    id=$(xdotool search --name '^Flailwick$' 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    game_running || fail "the game exited before showing its window: $(game_errors)"
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

# The window's picture, to a PNG file.
shoot() { import -window "$WIN" "$1" 2>/dev/null; }

# "count meanx" of the pixels of picture $1 (cropped to WxH+X+Y when $3 is
# given) that satisfy an awk condition $2 on r, g and b, such as
# 'r == 100 && g == 100 && b == 100'; mean x is -1 when there are none.
# Reads raw bytes, fast enough for tests that look often while the game moves.
pixel_stats() {
  local src=$1 width
  [ -n "${3:-}" ] && src="$1[$3]"
  width=$(identify -format %w "$src" 2>/dev/null) || return 1
  convert "$src" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w3 |
    awk -v w="$width" "{ r = \$1; g = \$2; b = \$3; if ($2) { n++; s += (NR - 1) % w } }
                       END { print n + 0, n ? int(s / n) : -1 }"
}
# Counting needs no positions: it weighs ImageMagick's histogram of the picture,
# a line per colour, which is far quicker than a line per pixel.
count_pixels() {
  local src=$1 hist
  [ -n "${3:-}" ] && src="$1[$3]"
  hist=$(convert "$src" -depth 8 -format %c histogram:info:- 2>/dev/null) && [ -n "$hist" ] || return 1
  awk "{ match(\$0, /\\([^)]*\\)/); split(substr(\$0, RSTART + 1, RLENGTH - 2), c, \",\");
         r = c[1] + 0; g = c[2] + 0; b = c[3] + 0; if ($2) n += \$1 + 0 }
       END { print n + 0 }" <<<"$hist"
}
mean_x() { pixel_stats "$1" "$2" | cut -d' ' -f2; }

# Waits up to $1 seconds until the command "$3 ... $SCREEN" succeeds on a
# fresh screenshot of the window; $2 names what is awaited for the failure
# message. The last screenshot stays in $SCREEN, outside the game's directory.
wait_until() {
  local timeout=$1 what=$2
  shift 2
  local deadline=$((SECONDS + timeout))
  while [ "$SECONDS" -le "$deadline" ]; do
    game_running || fail "the game ended while waiting for $what: $(game_errors)"
    shoot "$SCREEN" && "$@" "$SCREEN" && return 0
    sleep 0.2
  done
  fail "no $what on the screen after ${timeout}s"
}

# Succeeds when the picture $1 has at least $2 pixels matching condition $3
# (in the region $4, if given).
has_pixels() { [ "$(count_pixels "$1" "$3" "${4:-}")" -ge "$2" ]; }
lacks_pixels() { [ "$(count_pixels "$1" "$2" "${3:-}")" = 0 ]; }

# The screens the tests pass through, by what only they show.
GREY='r == 100 && g == 100 && b == 100'
WHITE='r == 255 && g == 255 && b == 255'
# The title's caption, white, under the picture.
is_title() { has_pixels "$1" 200 "$WHITE" 1024x40+0+500; }
# The main menu's last entry, QUIT, is grey unless selected.
is_menu() { has_pixels "$1" 300 "$GREY" 1024x96+0+500; }
# The mode choice's last entry is grey; nothing is drawn below it.
is_mode_choice() { has_pixels "$1" 300 "$GREY" 1024x64+0+420 && lacks_pixels "$1" "$GREY" 1024x200+0+500; }
# Mode k of the mode choice is highlighted: its line is no longer grey.
mode_selected() { lacks_pixels "$1" "$GREY" "1024x64+0+$((260 + 80 * ($2 - 1)))"; }
# Moves the mode choice's highlight down to mode $1, a frame-separated press at a time.
select_mode() {
  local k
  for k in $(seq 2 "$1"); do
    xdotool key Down
    wait_until 30 "mode $k highlighted" mode_selected_at "$k"
  done
}
mode_selected_at() { mode_selected "$2" "$1"; }
wait_for_title() { wait_until 60 "title picture" is_title; }
wait_for_menu() { wait_until 60 "main menu" is_menu; }
wait_for_mode_choice() { wait_until 60 "mode choice" is_mode_choice; }

# Starts the game ($1), ends its title with Space and waits for the main menu.
start_at_menu() {
  start_display
  start_game "$1"
  WIN=$(find_window) || exit 1
  point_at "$WIN"
  wait_for_title
  hold_key space 0.4
  wait_for_menu
}

# From the main menu: PLAY, then mode $1 (1..3) of the mode choice.
play_mode() {
  xdotool key Return
  wait_for_mode_choice
  select_mode "$1"
  xdotool key Return
}

# Waits up to $1 seconds for the game to exit; its status lands in GAME_STATUS.
# Not to be called in a subshell: only this shell can wait for the game.
wait_exit() {
  local i
  for i in $(seq 1 $(( $1 * 10 ))); do
    if ! game_running; then
      GAME_STATUS=0
      wait "$GAME_PID" || GAME_STATUS=$?
      GAME_PID=""
      return 0
    fi
    sleep 0.1
  done
  fail "the game did not exit within $1 s"
}

# --- Options, level summary, name entry and high-score table ---
# The commonest colour of region $2 that is neither black nor a grey, as
# "count #RRGGBB": the palette colour a screen's texts are drawn in.
top_colour() {
  convert "$1[$2]" -depth 8 rgb:- 2>/dev/null | od -An -v -tu1 -w3 |
    awk '{ if ($1 != $2 || $2 != $3) n[sprintf("#%02X%02X%02X", $1, $2, $3)]++ }
         END { best = 0; hex = "none"; for (k in n) if (n[k] > best) { best = n[k]; hex = k }
               print best, hex }'
}
has_text() { local t; t=$(top_colour "$1" "$2"); [ "${t% *}" -ge "$3" ]; }
# At least $4 pixels of region $3 of picture $1 in colour $2 (#RRGGBB).
in_colour() {
  [ "$2" != none ] || return 1
  local r=$((16#${2:1:2})) g=$((16#${2:3:2})) b=$((16#${2:5:2}))
  has_pixels "$1" "$4" "r == $r && g == $g && b == $b" "$3"
}
# At least $4 pixels of region $3 in the commonest palette colour of region
# $2: the texts of a screen share one colour, the grid behind them does not.
same_colour() {
  local t; t=$(top_colour "$1" "$2")
  in_colour "$1" "${t#* }" "$3" "$4"
}
# The options screen, RESET OPTIONS not selected: grey below all the menu draws.
is_options() { has_pixels "$1" 500 "$GREY" 1024x40+0+602; }
# Options row $1 (1..11) and main menu entry $1; the screenshot comes last, as
# wait_until passes it.
option_pixels() { count_pixels "$2" 'r + g + b > 0' "1024x32+0+$((170 + 40 * $1))"; }
option_changed() { [ "$(option_pixels "$1" "$3")" != "$2" ]; }
option_selected() { lacks_pixels "$2" "$GREY" "1024x32+0+$((170 + 40 * $1))"; }
menu_selected() { lacks_pixels "$2" "$GREY" "1024x96+0+$((100 + 80 * $1))"; }
# "GAME OVER" at scale 13 is the only wide text between y = 163 and 229.
is_game_over() { has_text "$1" 1024x66+0+163 7000; }
# "LEVEL n COMPLETED" over the fight: no other heading reaches right of x = 825.
is_summary() { has_text "$1" 160x112+825+50 1500 && ! is_game_over "$1"; }
# The typed name, in the heading's colour.
name_shown() { is_game_over "$1" && same_colour "$1" 1024x66+0+163 1024x128+0+542 1500; }
# All twenty rows, in the colour of "HIGH SCORES", the one heading to reach
# above y = 50 right of "FLAILWICK".
table_complete() {
  local t; t=$(top_colour "$1" 484x600+270+130)
  in_colour "$1" "${t#* }" 210x28+610+22 500 && ! is_game_over "$1" &&
    lacks_pixels "$1" "$GREY" 1024x96+0+500 && in_colour "$1" "${t#* }" 484x32+270+700 500
}

# Online play: the game $1 hosting on port $3 from directory $2, on a display
# of its own, until it says it waits; sets HOST_DISPLAY, HOST_XVFB and HOST_PID.
start_host() {
  SHOT_DIR=$(mktemp -d)
  SCREEN="$SHOT_DIR/screen.png"
  export XDG_DATA_HOME="$2/data"
  start_display
  HOST_DISPLAY=$DISPLAY HOST_XVFB=$XVFB_PID
  (cd "$2" && exec "$1" --host "$3" "${@:4}" >host.out 2>host.err) &
  HOST_PID=$!
  local i
  for i in $(seq 1 100); do grep -q "Waiting for the other player" "$2/host.out" 2>/dev/null && break; sleep 0.1; done
}

# Verifies the recorded fights in each of the directories' data (at least
# one each) and prints the final hash they share; fails if any is refused or
# they end differently.
recordings_agree() {
  local dir files out hash=""
  for dir in "$@"; do
    files=("$dir"/data/flailwick/replays/*.fwr)
    [ -s "${files[0]}" ] || fail "no recorded fight in $dir"
    out=$("$GAME" --verify "${files[@]}") || fail "--verify failed in $dir: $out"
    [ -z "$hash" ] || [ "$hash" = "${out##* }" ] ||
      fail "the recordings end differently: $hash in $1, ${out##* } in $dir"
    hash=${out##* }
  done
  echo "$hash"
}

# Shared by the end-to-end scripts: a private Xvfb display and helpers to drive the game.
# Usage: source common.bash <build dir>

BUILD_DIR=$(cd "${1:?build dir}" && pwd)
ARTIFACTS="$BUILD_DIR/artifacts/e2e"
mkdir -p "$ARTIFACTS"
XVFB_PID=""
GAME_PID=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cleanup() {
  [ -n "$GAME_PID" ] && kill "$GAME_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

# Starts Xvfb on a display number the server picks itself (it takes the number's lock
# atomically, so runs side by side never share a server); exports DISPLAY. Without
# -noreset the server resets whenever its last client leaves, and a program connecting
# during that reset is refused: the game starting just after a probe would fail.
start_xvfb() {
  local size=${1:-1024x768x24}
  local numfile i n=""
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for i in $(seq 1 100); do
    n=$(head -n 1 "$numfile" 2>/dev/null)
    [ -n "$n" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -n "$n" ]; then
    export DISPLAY=":$n"
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
  fi
  kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
  fail "could not start Xvfb"
}

# Starts the game from the build folder (it reads ./Data), with extra environment.
start_game() {
  (cd "$BUILD_DIR" && exec env "$@" ./yulerush) >"$ARTIFACTS/game.out" 2>"$ARTIFACTS/game.err" &
  GAME_PID=$!
}

# Prints the window id of the game's window once it is mapped (waits up to 20 s).
find_game_window() {
  local i id
  for i in $(seq 1 200); do
    id=$(xdotool search --onlyvisible --name '^Application$' 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$GAME_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Waits up to $1 seconds for the game to end; sets GAME_CODE to its exit code or "timeout".
# (Not to be called in a command substitution: only this shell can wait for the game.)
wait_game_exit() {
  local limit=${1:-20} i
  GAME_CODE="timeout"
  for i in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$GAME_PID" 2>/dev/null; then
      wait "$GAME_PID"
      GAME_CODE=$?
      GAME_PID=""
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Makes a private game folder: the binary beside a Data folder of links to the generated
# content (so the game's language file is written there, not into the build); prints it.
# The caller removes it.
make_work_dir() {
  local work f
  work=$(mktemp -d)
  mkdir "$work/Data"
  for f in "$BUILD_DIR"/Data/*; do
    case "$(basename "$f")" in Idioma | Idioma.new) ;; *) ln -s "$f" "$work/Data/" ;; esac
  done
  cp "$BUILD_DIR/yulerush" "$work/"
  echo "$work"
}

# The game draws its own cursor from relative motion (1.2 pixels per count): park it in
# the top-left corner, then move it to the back-buffer pixel (x, y).
goto() {
  xdotool mousemove_relative -- -2000 -2000
  sleep 0.6
  xdotool mousemove_relative -- $(($1 * 10 / 12 + 1)) $(($2 * 10 / 12 + 1))
  sleep 0.5
}
# A click acts on release: hold the button long enough for the game to see it down.
# Presses and releases a key; TAP_HOLD and TAP_GAP (seconds) set how long it is held and
# how long to wait after it.
tap() {
  xdotool keydown "$1"
  sleep "${TAP_HOLD:-0.05}"
  xdotool keyup "$1"
  sleep "${TAP_GAP:-0.05}"
}

click() {
  goto "$1" "$2"
  xdotool mousedown 1
  sleep 0.35
  xdotool mouseup 1
  sleep 0.5
}

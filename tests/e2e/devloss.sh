#!/usr/bin/env bash
# The real game, full screen under a window manager, minimised and restored a hundred times
# in the middle of a four-player round: while it is minimised no frame is presented, after
# each restore frames come again, the process lives on and its memory stays put; then it
# leaves the round and ends with code 0 and nothing on stderr. Frames are counted at the
# buffer swaps by a small preloaded counter.
set -u
source "$(dirname "$0")/common.bash" "$1"
for tool in xdotool openbox xwininfo xprop compare cc; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
[ -f "$BUILD_DIR/Data/GUI_00_ES.png" ] || fail "no generated content in $BUILD_DIR/Data"
CYCLES=${DEVLOSS_CYCLES:-100}

mkdir -p "$BUILD_DIR/tools"
COUNTER="$BUILD_DIR/tools/swap_counter.so"
cc -O2 -shared -fPIC "$(dirname "$0")/swap_counter.c" -o "$COUNTER" -ldl ||
  fail "could not build the swap counter"

WORK=$(make_work_dir)
WM_PID=""
trap 'cleanup; [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null; rm -rf "$WORK"' EXIT

# The screen is the back buffer's size, so the game draws straight into its window.
start_xvfb 800x600x24
openbox --sm-disable >"$ARTIFACTS/devloss_wm.log" 2>&1 &
WM_PID=$!
for i in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  kill -0 "$WM_PID" 2>/dev/null || fail "the window manager did not start"
  sleep 0.1
done

(cd "$WORK" && exec env SDL_AUDIODRIVER=dummy SWAPCOUNT_FILE="$WORK/swaps" \
  LD_PRELOAD="$COUNTER" ./yulerush) >"$ARTIFACTS/devloss.out" 2>"$ARTIFACTS/devloss.err" &
GAME_PID=$!
win=$(find_game_window) || fail "no game window; stderr: $(cat "$ARTIFACTS/devloss.err")"

swaps() {
  local n
  n=$(od -An -tu8 -N8 "$WORK/swaps" 2>/dev/null)
  echo $((${n:-0}))
}
rss_kb() { awk '/VmRSS/ {print $2}' "/proc/$GAME_PID/status" 2>/dev/null; }
mapped() { xwininfo -id "$win" 2>/dev/null | grep -q "IsViewable"; }
alive() {
  kill -0 "$GAME_PID" 2>/dev/null ||
    fail "the game died ($1); stderr: $(cat "$ARTIFACTS/devloss.err")"
}
shot() { import -window root "$ARTIFACTS/$1.png" || fail "screenshot $1 failed"; }
# Pixels that differ between two screenshots.
differ() {
  compare -metric AE -fuzz 5% "$ARTIFACTS/$1.png" "$ARTIFACTS/$2.png" null: 2>&1 |
    awk '{print int($1)}'
}
# Waits up to $2 seconds until at least $1 more frames have been presented; prints how many.
frames_after() {
  local from to i
  from=$(swaps)
  for i in $(seq 1 $(($2 * 20))); do
    to=$(swaps)
    [ $((to - from)) -ge "$1" ] && break
    sleep 0.05
  done
  echo $((to - from))
}
# Keys and the button are held down for two presented frames and let go for two more, so
# that however slow a frame is, the game sees them down and then released.
press_keys() {
  xdotool keydown "$@"
  frames_after 2 10 >/dev/null
  xdotool keyup "$@"
  frames_after 2 10 >/dev/null
}
press_at() {
  goto "$1" "$2"
  xdotool mousedown 1
  frames_after 2 10 >/dev/null
  xdotool mouseup 1
  frames_after 2 10 >/dev/null
}

geometry=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ {print $2}')
[ "$geometry" = "800x600" ] || fail "the window is $geometry, not the whole 800x600 screen"
xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN ||
  fail "the window manager does not hold the window full screen: $(xprop -id "$win" _NET_WM_STATE)"
[ "$(frames_after 3 60)" -ge 3 ] || fail "the main menu is not drawn"
sleep 0.5

# Four players, start, play: the round's world replaces the setup screen.
press_at 347 342
press_at 347 342
press_at 220 212
shot devloss_setup
press_at 600 548
[ "$(frames_after 5 20)" -ge 5 ] || fail "no frames after the play click"
shot devloss_round
changed=$(differ devloss_setup devloss_round)
[ "$changed" -gt 100000 ] || fail "the round did not start ($changed pixels changed)"

# How long a frame takes here decides how long "no frame" must last to mean something.
start=$(swaps)
sleep 1
per_second=$(( $(swaps) - start ))
[ "$per_second" -ge 2 ] || fail "only $per_second frames a second in the round"
quiet_ms=$(( 3000 / per_second ))
[ "$quiet_ms" -ge 200 ] || quiet_ms=200
echo "round: $per_second frames a second; a minimised spell is watched for $quiet_ms ms"

cycle_start=$(date +%s.%N)
rss_first=""
max_late=0
for cycle in $(seq 1 "$CYCLES"); do
  timeout 10 xdotool windowminimize --sync "$win" || fail "cycle $cycle: could not minimise"
  for i in $(seq 1 100); do mapped || break; sleep 0.02; done
  mapped && fail "cycle $cycle: the window was not minimised"
  # A frame begun just before the window went may still land: let the count settle.
  late_from=$(swaps)
  last=$late_from
  still=0
  for i in $(seq 1 100); do
    sleep 0.05
    now=$(swaps)
    if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0; last=$now; fi
    [ $((still * 50)) -ge $((quiet_ms / 2)) ] && break
  done
  late=$((last - late_from))
  [ "$late" -le 2 ] || fail "cycle $cycle: $late frames presented after the window was minimised"
  [ "$late" -gt "$max_late" ] && max_late=$late
  before=$(swaps)
  sleep "$(awk -v ms="$quiet_ms" 'BEGIN {print ms / 1000}')"
  after=$(swaps)
  [ "$after" = "$before" ] ||
    fail "cycle $cycle: $((after - before)) frames presented while minimised"
  alive "minimised, cycle $cycle"

  timeout 10 xdotool windowactivate --sync "$win" 2>/dev/null
  resumed=$(frames_after 2 15)
  [ "$resumed" -ge 2 ] || fail "cycle $cycle: frames did not resume after restoring ($resumed)"
  mapped || fail "cycle $cycle: frames came but the window is not shown"
  alive "restored, cycle $cycle"
  # Memory is compared from the fifth cycle on: the first resets make their buffers.
  [ "$cycle" -eq 5 ] && rss_first=$(rss_kb)
done
rss_last=$(rss_kb)
elapsed=$(awk -v a="$cycle_start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}')
echo "$CYCLES minimise/restore cycles in $elapsed s: no frame while minimised (at most" \
  "$max_late in flight at the moment of minimising), frames resumed every time"
if [ -n "$rss_first" ]; then
  growth=$((rss_last - rss_first))
  echo "resident memory: $rss_first kB after cycle 5, $rss_last kB after cycle $CYCLES ($growth kB)"
  # The music synthesiser loads instrument samples as the pieces reach them, a few MB over
  # a round whatever the window does; a reset that kept anything would add that per cycle.
  [ "$growth" -le 16384 ] || fail "memory grew by $growth kB over the cycles"
fi

# The round goes on: the players still answer their keys.
shot devloss_restored
for i in 1 2 3; do press_keys d Right k KP_6; done
frames_after 3 10 >/dev/null
shot devloss_moved
changed=$(differ devloss_restored devloss_moved)
[ "$changed" -gt 500 ] || fail "the players did not move after the cycles ($changed pixels changed)"
echo "after the cycles the round plays on: $changed pixels changed as the players ran"

# Leave: Escape to the standings, leave, yes, then Escape on the main menu.
press_keys Escape
press_at 430 457
press_at 335 367
press_keys Escape
wait_game_exit 20 || shot devloss_not_ended
[ "$GAME_CODE" = "0" ] ||
  fail "the game ended with '$GAME_CODE'; stderr: $(cat "$ARTIFACTS/devloss.err")"
[ ! -s "$ARTIFACTS/devloss.err" ] || fail "stderr was not empty: $(cat "$ARTIFACTS/devloss.err")"
echo "left the round and ended with exit 0, stderr empty"

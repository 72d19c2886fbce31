#!/usr/bin/env bash
# Frame-time run of the real game on Mesa's software renderer under Xvfb, for each screen
# size given (default 800x600 and 1920x1080): X input drives it into a four-player round,
# frames are counted at the buffer swaps during a measured window of play, and the floor
# program (a window that only clears, or clears an 800 × 600 target and blits it) runs
# under the same screen in the same run for comparison. Measured, never asserted.
# Usage: bench/frametime.sh BUILD_DIR [SECONDS] [SIZES...]
set -u
TOOLS=$(cd "$(dirname "$0")/../../shared/tools" 2>/dev/null && pwd || true)
[ -n "$TOOLS" ] || TOOLS=/work/shared/tools
source "$(dirname "$0")/../tests/e2e/common.bash" "$1"
SECONDS_MEASURED=${2:-8}
shift 2 2>/dev/null || shift $#
SIZES=${*:-"800x600 1920x1080"}
OUT="$BUILD_DIR/artifacts/frametime"
mkdir -p "$OUT"

gcc -O2 -shared -fPIC "$TOOLS/framecount.c" -o "$OUT/framecount.so" -ldl || fail "framecount"
# Our floor fills the screen for real (see its opening comment); the shared tool's figures
# on a screen larger than 800 × 600 are those of an 800 × 600 window.
gcc -O2 "$(dirname "$0")/floor.c" -o "$OUT/floor" $(pkg-config --cflags --libs sdl2) -lGL || fail "floor"

WORK=$(make_work_dir)
trap 'cleanup; rm -rf "$WORK"' EXIT

peak_kb() { awk '/VmHWM/ {print $2}' "/proc/$1/status" 2>/dev/null; }
# Processor time of a process and all its threads (the renderer's included), in ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }

for size in $SIZES; do
  start_xvfb "${size}x24"
  export LIBGL_ALWAYS_SOFTWARE=1

  # The floor: an empty window, then an 800 × 600 target blitted to it.
  "$OUT/floor" 3 >"$OUT/floor_$size.txt" 2>&1 &
  fpid=$!
  sleep 2.5
  floor_kb=$(peak_kb $fpid)
  wait $fpid
  "$OUT/floor" 3 fbo >>"$OUT/floor_$size.txt" 2>&1

  (cd "$WORK" && exec env SDL_AUDIODRIVER=dummy FRAMECOUNT_OUT="$OUT/startup_$size.txt" \
     LD_PRELOAD="$OUT/framecount.so" ./yulerush) >/dev/null 2>"$OUT/game_$size.err" &
  GAME_PID=$!
  find_game_window >/dev/null || fail "no window at $size"
  sleep 1.5
  click 347 342
  click 347 342  # four players
  click 220 212  # start
  click 600 548  # play
  sleep 1
  kill -USR1 $GAME_PID
  cpu0=$(cpu_ticks $GAME_PID)
  # The measured window: every player keeps tapping, each key held 50 ms with 50 ms
  # between presses (16 keys a cycle of 1.6 s). One input process plays the whole window:
  # starting one for every press and release (20 a second) took a share of the machine's
  # processors and showed in the game's slowest frames. INPUT=per-key restores that.
  cycles=$(( (SECONDS_MEASURED * 10 + 15) / 16 ))
  if [ "${INPUT:-}" = per-key ]; then
    end=$((SECONDS + SECONDS_MEASURED))
    while [ $SECONDS -lt $end ]; do
      for k in d Right k KP_6 w Up u KP_8 a Left h KP_4 s Down j KP_5; do tap "$k"; done
    done
  else
    for ((c = 0; c < cycles; ++c)); do
      for k in d Right k KP_6 w Up u KP_8 a Left h KP_4 s Down j KP_5; do
        printf 'keydown %s\nsleep 0.05\nkeyup %s\nsleep 0.05\n' "$k" "$k"
      done
    done | xdotool - >/dev/null 2>&1
  fi
  kill -USR2 $GAME_PID
  cpu1=$(cpu_ticks $GAME_PID)
  sleep 0.5
  game_kb=$(peak_kb $GAME_PID)
  tap Escape
  sleep 0.3
  click 430 457
  click 335 367
  tap Escape
  wait_game_exit 20
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""

  echo "== $size"
  cat "$OUT/floor_$size.txt"
  # The report of the marked window goes to the file named when the game started.
  report=$(cat "$OUT/startup_$size.txt" 2>/dev/null)
  echo "round: $report"
  # Processor time per frame does not depend on how busy the machine is, as frame rates do.
  frames=$(echo "$report" | awk '{print $2}')
  awk -v t=$(( ${cpu1:-0} - ${cpu0:-0} )) -v f="${frames:-0}" -v hz="$(getconf CLK_TCK)" \
    'BEGIN { if (f > 0) printf "round processor time: %.2f ms per frame (all threads)\n", 1000 * t / hz / f }'
  echo "peak memory: game ${game_kb:-?} kB, floor ${floor_kb:-?} kB, above floor $(( ${game_kb:-0} - ${floor_kb:-0} )) kB"
done

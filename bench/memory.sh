#!/usr/bin/env bash
# Where the game's memory goes, screen by screen: the real game under Xvfb with Mesa's
# software renderer is driven by X input from the main menu through the player setup into
# a four-player round, back to the standings and the main menu. At each stop it prints
# resident memory now (VmRSS) and at its highest (VmHWM), the anonymous part of it (RssAnon:
# memory the process allocated, as opposed to pages of library code and data files, which
# are clean and shared) now and at its highest as sampled every 10 ms, and /proc/PID/smaps
# summed by kind (heap and anonymous memory, library code and data, the game's own image)
# with the largest mappings. The floor program (an empty GL window) runs under the same
# screen. ROUNDS=N plays N rounds, each left for the main menu (the model and texture
# caches fill over the first few). Several game binaries may be named: each runs in turn
# in the same run, for comparison; the seed of the random draw is fixed, so each plays the
# same rounds. Measured, never asserted.
# ENGLISH=1 starts the game in English, whose interface sheet comes on top of the Spanish
# one that the round's score bar uses in every language.
# Usage: [ROUNDS=N] [ENGLISH=1] bench/memory.sh BUILD_DIR [SECONDS_OF_PLAY] [GAME_BINARY...]
set -u
source "$(dirname "$0")/../tests/e2e/common.bash" "$1"
PLAY=${2:-8}
shift 2 2>/dev/null || shift $#
GAMES=("$@")
[ ${#GAMES[@]} -gt 0 ] || GAMES=("$BUILD_DIR/yulerush")
OUT="$BUILD_DIR/artifacts/memory"
mkdir -p "$OUT"
gcc -O2 "$(dirname "$0")/floor.c" -o "$OUT/floor" $(pkg-config --cflags --libs sdl2) -lGL || fail "floor"
gcc -O2 -shared -fPIC "$(dirname "$0")/fixed_time.c" -o "$OUT/fixed_time.so" || fail "fixed_time"

WORK=$(make_work_dir)
trap 'cleanup; rm -rf "$WORK"' EXIT

status_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status" 2>/dev/null; }

# The highest RssAnon of a process, sampled every 10 ms into $WORK/anon.NAME until it
# ends or $WORK/stop.NAME appears.
sample_anon() {
  local pid=$1 name=$2 peak=0 now
  while [ ! -e "$WORK/stop.$name" ] && now=$(status_kb "$pid" RssAnon) && [ -n "$now" ]; do
    if [ "$now" -gt "$peak" ]; then
      peak=$now
      echo "$peak" >"$WORK/anon.$name"
    fi
    sleep 0.01
  done
}
anon_peak() { cat "$WORK/anon.$1" 2>/dev/null || echo 0; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f MB", (a - b) / 1024 }'; }

# Resident kB by kind, then the largest mappings by resident size.
snapshot() {
  local pid=$1 label=$2
  printf '%-14s rss %7s kB  peak %7s kB  anon %7s kB  anon peak %7s kB\n%14s ' "$label" \
    "$(status_kb "$pid" VmRSS)" "$(status_kb "$pid" VmHWM)" "$(status_kb "$pid" RssAnon)" \
    "$(anon_peak "$pid")" ""
  awk '
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "[anon]"; next }
    /^Rss:/ { rss[name] += $2 }
    END {
      for (n in rss) {
        if (n == "[heap]" || n == "[anon]") kind = "heap+anon";
        else if (n ~ /\.so/) kind = "libraries";
        else if (n ~ /yulerush|floor$/) kind = "program";
        else kind = "other";
        total[kind] += rss[n];
      }
      printf "heap+anon %6d  libraries %6d  program %5d  other %5d\n",
        total["heap+anon"], total["libraries"], total["program"], total["other"];
      for (n in rss) if (rss[n] >= 1024) printf "    %8d kB  %s\n", rss[n], n | "sort -rn | head -12";
    }' "/proc/$pid/smaps" 2>/dev/null
}

start_xvfb "800x600x24"
export LIBGL_ALWAYS_SOFTWARE=1
"$OUT/floor" 3 >/dev/null 2>&1 &
fpid=$!
sample_anon $fpid $fpid &
sleep 2.5
echo "== floor (empty GL window)"
snapshot $fpid floor
floor_hwm=$(status_kb $fpid VmHWM)
wait $fpid
sleep 0.05
floor_anon=$(anon_peak $fpid)

[ "${ENGLISH:-0}" = 1 ] && printf '\001\000\000\000' >"$WORK/Data/Idioma"
for game in "${GAMES[@]}"; do
  cp "$game" "$WORK/yulerush"
  (cd "$WORK" && exec env SDL_AUDIODRIVER=dummy LD_PRELOAD="$OUT/fixed_time.so" ${MEMORY_GAME_ENV:-} ./yulerush) >/dev/null 2>"$OUT/game.err" &
  GAME_PID=$!
  sample_anon $GAME_PID $GAME_PID &
  find_game_window >/dev/null || fail "no window for $game"
  echo "== $game"
  sleep 1.5
  snapshot $GAME_PID "main menu"
  click 347 342
  click 347 342  # four players
  round_hwm=0
  round_anon=0
  for r in $(seq "${ROUNDS:-1}"); do
    click 220 212  # start
    snapshot $GAME_PID "player setup"
    sample_anon $GAME_PID "round$r.$GAME_PID" &
    click 600 548  # play
    sleep 1
    snapshot $GAME_PID "round start"
    end=$((SECONDS + PLAY))
    while [ $SECONDS -lt $end ]; do
      for k in d Right k KP_6 w Up u KP_8 a Left h KP_4 s Down j KP_5; do tap "$k"; done
    done
    snapshot $GAME_PID "in round $r"
    touch "$WORK/stop.round$r.$GAME_PID"
    sleep 0.05
    echo "               anonymous peak from its start: $(anon_peak "round$r.$GAME_PID") kB"
    round_hwm=$(status_kb $GAME_PID VmHWM)
    [ "$(anon_peak "round$r.$GAME_PID")" -gt "$round_anon" ] && round_anon=$(anon_peak "round$r.$GAME_PID")
    tap Escape
    sleep 0.5
    snapshot $GAME_PID "standings"
    click 430 457   # leave
    click 335 367   # yes
    sleep 0.5
    snapshot $GAME_PID "menu again"
  done
  echo "above the floor up to the end of the last round: resident peak" \
    "$(above "$round_hwm" "$floor_hwm"); anonymous peak within the rounds" \
    "$(above "$round_anon" "$floor_anon")"
  echo "above the floor over the whole run: resident peak" \
    "$(above "$(status_kb $GAME_PID VmHWM)" "$floor_hwm"), anonymous peak" \
    "$(above "$(anon_peak $GAME_PID)" "$floor_anon")"
  tap Escape
  wait_game_exit 20
done

#!/usr/bin/env bash
# A whole visit of the real game under Xvfb, driven only by X input: the main menu, the
# language switch (the atlas changes on screen and the language file is written), four
# players, the setup with a typed name, a round in play (the picture changes as the
# players run), pause, resume, leave through the confirmation, and Escape: exit code 0,
# nothing on stderr. A second start shows the saved language. Audio goes to SDL's disk
# driver; the captured samples must carry sound and never clip.
set -u
source "$(dirname "$0")/common.bash" "$1"
command -v xdotool >/dev/null || fail "xdotool is not installed"
command -v compare >/dev/null || fail "ImageMagick is not installed"
[ -f "$BUILD_DIR/Data/GUI_00_ES.png" ] || fail "no generated content in $BUILD_DIR/Data"

# A private copy of the data folder's layout: the game writes its language file there.
WORK=$(make_work_dir)
trap 'cleanup; rm -rf "$WORK"' EXIT

start_in_work() {
  (cd "$WORK" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/audio$1.raw" \
    ./yulerush) >"$ARTIFACTS/play$1.out" 2>"$ARTIFACTS/play$1.err" &
  GAME_PID=$!
  STARTED=$(date +%s.%N)
  win=$(find_game_window) || fail "no game window; stderr: $(cat "$ARTIFACTS/play$1.err")"
  # Start-up ends with the first menu frame; on a loaded machine that can take a while.
  local i mean
  for i in $(seq 1 120); do
    import -window root "$WORK/first.png" 2>/dev/null
    mean=$(convert "$WORK/first.png" -format "%[fx:int(mean*1000)]" info: 2>/dev/null || echo 0)
    [ "$mean" -gt 100 ] && break
    sleep 0.5
  done
  [ "$mean" -gt 100 ] || fail "the main menu never appeared"
  sleep 1
}

shot() { import -window root "$ARTIFACTS/$1.png" || fail "screenshot $1 failed"; }

# Pixels that differ between two screenshots inside a back-buffer rectangle (x y w h),
# scaled to the 1024 × 768 screen.
differ() {
  local a=$1 b=$2 x=$3 y=$4 w=$5 h=$6
  local geom="$((w * 128 / 100))x$((h * 128 / 100))+$((x * 128 / 100))+$((y * 128 / 100))"
  compare -metric AE -fuzz 5% "$ARTIFACTS/$a.png[$geom]" "$ARTIFACTS/$b.png[$geom]" null: 2>&1 |
    awk '{print int($1)}'
}

# Takes screenshot $1 until it differs from screenshot $2 in the region by more than $7
# pixels (the machine may be slow to draw the next frame); prints the count.
shot_until_changed() {
  local name=$1 ref=$2 i n=0
  for i in $(seq 1 20); do
    shot "$name"
    n=$(differ "$ref" "$name" "$3" "$4" "$5" "$6")
    [ "$n" -gt "$7" ] && break
    sleep 0.25
  done
  echo "$n"
}

# Keys held and spaced as a player taps them on the menus.
TAP_HOLD=0.25
TAP_GAP=0.2

start_xvfb 1024x768x24

# --- First run -----------------------------------------------------------------------
start_in_work 1
goto 600 100
shot menu
click 220 443  # language
changed=$(shot_until_changed menu_english menu 64 192 321 40 200)
[ "$(od -An -tx1 "$WORK/Data/Idioma" | tr -d ' \n')" = "01000000" ] ||
  fail "the language file holds '$(od -An -tx1 "$WORK/Data/Idioma")', expected 01 00 00 00"
[ "$changed" -gt 200 ] || fail "the start button did not change language ($changed pixels)"
echo "language switched: $changed pixels of the start button changed, file holds 1"

click 347 342  # more players: 3
click 347 342  # 4
shot menu_four
click 220 212  # start
shot_until_changed setup menu_four 0 0 400 250 60000 >/dev/null
click 280 75   # player 1's name
for k in n o e l; do tap "$k"; done
tap Return
changed=$(shot_until_changed setup_named setup 190 50 180 50 50)
[ "$changed" -gt 50 ] || fail "the typed name did not show ($changed pixels)"
echo "setup: name typed ($changed pixels changed)"

PLAY_AT=$(python3 -c "import sys; print(float(sys.argv[1]) - float(sys.argv[2]))" "$(date +%s.%N)" "$STARTED")
click 600 548  # play
shot_until_changed round_start setup_named 0 0 400 250 60000 >/dev/null
sleep 1
shot round_start
# Every player runs: two taps in a direction give a heading and then speed.
for i in 1 2; do
  for k in d d Right Right k k KP_6 KP_6 w w Up Up u u KP_8 KP_8; do tap "$k"; done
done
ROUND_AT=$(python3 -c "import sys; print(float(sys.argv[1]) - float(sys.argv[2]))" "$(date +%s.%N)" "$STARTED")
changed=$(shot_until_changed round round_start 0 100 800 500 500)
[ "$changed" -gt 500 ] || fail "the round did not move ($changed pixels changed)"
echo "round in play: $changed pixels changed as the players ran"

tap Escape
changed=$(shot_until_changed standings round 239 382 381 41 2000)
[ "$changed" -gt 2000 ] || fail "no standings after Escape ($changed)"
tap Escape     # resume
changed=$(shot_until_changed resumed standings 239 382 381 41 2000)
[ "$changed" -gt 2000 ] || fail "no resume after Escape ($changed)"
tap Escape
shot_until_changed standings2 resumed 239 382 381 41 2000 >/dev/null
click 430 457  # leave
changed=$(shot_until_changed confirmation standings2 200 213 400 210 2000)
[ "$changed" -gt 2000 ] || fail "no confirmation ($changed)"
click 335 367  # yes
changed=$(shot_until_changed back_to_menu confirmation 0 0 800 600 20000)
[ "$changed" -gt 20000 ] || fail "no main menu after yes ($changed)"
echo "standings, resume, leave, confirmation, yes: all shown"
tap Escape
wait_game_exit 20
[ "$GAME_CODE" = "0" ] || fail "the game ended with '$GAME_CODE'; stderr: $(cat "$ARTIFACTS/play1.err")"
# SDL's disk driver announces itself on stderr; nothing else may appear there.
grep -v -e "^CRITICAL: You are using the SDL disk i/o audio driver!" \
  -e "^CRITICAL:  Writing to file" "$ARTIFACTS/play1.err" >"$ARTIFACTS/play1.errors"
[ ! -s "$ARTIFACTS/play1.errors" ] || fail "stderr was not empty: $(cat "$ARTIFACTS/play1.errors")"
echo "first run: exit 0, stderr empty"

# --- The captured sound --------------------------------------------------------------
audio="$WORK/audio1.raw"
[ -s "$audio" ] || fail "no audio was captured"
# The mixer runs in 32-bit float stereo; full scale is 1.0.
python3 - "$audio" "$PLAY_AT" "$ROUND_AT" <<'EOF' || fail "audio check failed"
import array, sys
samples = array.array("f")
with open(sys.argv[1], "rb") as f:
    samples.frombytes(f.read())
n = len(samples)
loud = sum(1 for s in samples if abs(s) > 0.01)
clipped = sum(1 for s in samples if abs(s) >= 1.0)
peak = max((abs(s) for s in samples), default=0.0)
print("audio: %.1f s, %.1f%% audible, peak %.3f (%.1f dBFS), clipped %d"
      % (n / 88200.0, 100.0 * loud / max(n, 1), peak,
         20 * __import__("math").log10(max(peak, 1e-9)), clipped))
# The driver writes in real time, so a moment of the run is a place in the file.
def audible(start, end):
    window = samples[max(0, int(start * 88200)):int(end * 88200)]
    return sum(1 for s in window if abs(s) > 0.01) / max(len(window), 1)
# The menu pieces open softly for a few seconds, so the menu is judged over its whole
# stretch (start-up to the play click), the round over three seconds of running.
play_at, round_at = float(sys.argv[2]), float(sys.argv[3])
menu, round_ = audible(0.0, play_at), audible(round_at - 1.5, round_at + 1.5)
print("audible: %.0f%% on the menu, %.0f%% in the round" % (100 * menu, 100 * round_))
sys.exit(0 if menu > 0.2 and round_ > 0.2 and clipped == 0 else 1)
EOF

# --- Second run: the saved language --------------------------------------------------
start_in_work 2
goto 600 100
shot menu_second_start
changed=$(differ menu_english menu_second_start 64 192 321 95)
[ "$changed" -lt 200 ] || fail "the second start does not show the saved language ($changed)"
tap Escape
wait_game_exit 20
[ "$GAME_CODE" = "0" ] || fail "the second run ended with '$GAME_CODE'"
grep -v -e "^CRITICAL: You are using the SDL disk i/o audio driver!" \
  -e "^CRITICAL:  Writing to file" "$ARTIFACTS/play2.err" >"$ARTIFACTS/play2.errors"
[ ! -s "$ARTIFACTS/play2.errors" ] || fail "stderr was not empty: $(cat "$ARTIFACTS/play2.errors")"
echo "second start shows the saved language; exit 0; screenshots in $ARTIFACTS"

#!/usr/bin/env bash
# The real game binary: refuses to start without a display (message on stderr, code 1);
# under Xvfb opens its full-screen window, draws, and ends with code 0 when the window is
# asked to close as a window manager's close button would.
set -u
source "$(dirname "$0")/common.bash" "$1"

# 1. No display at all.
out=$(cd "$BUILD_DIR" && env -u DISPLAY -u WAYLAND_DISPLAY ./yulerush 2>&1 >/dev/null)
code=$?
[ "$code" -eq 1 ] || fail "without a display the exit code was $code, expected 1"
echo "$out" | grep -q "Hubo un error al inicializar." || fail "no start-up message on stderr: $out"
echo "no display: exit 1 with the start-up message"

# 2. A real window under Xvfb.
start_xvfb 1024x768x24
start_game
win=$(find_game_window) || fail "the game window never appeared; stderr: $(cat "$ARTIFACTS/game.err")"
sleep 1
import -window root "$ARTIFACTS/startup.png" || fail "screenshot failed"
geometry=$(xdotool getwindowgeometry "$win" | awk '/Geometry/ {print $2}')
[ "$geometry" = "1024x768" ] || fail "full-screen window is $geometry, expected the screen size 1024x768"
kill -0 "$GAME_PID" 2>/dev/null || fail "the game died after opening its window"

"$BUILD_DIR/tools/x_close_window" "$win" || fail "could not send the close request"
wait_game_exit 20
[ "$GAME_CODE" = "0" ] || fail "after the close request the game ended with '$GAME_CODE', expected 0; stderr: $(cat "$ARTIFACTS/game.err")"
echo "window $win ($geometry) closed, exit 0; screenshot in $ARTIFACTS/startup.png"

#!/usr/bin/env bash
# cmake --install to a fresh prefix gives the game, its Data folder, the icon and a
# launcher; the launcher's command, started in the launcher's working folder as a
# desktop would, opens the game's window on the main menu and ends with code 0.
set -u
source "$(dirname "$0")/common.bash" "$1"
PREFIX=$(mktemp -d)
trap 'cleanup; rm -rf "$PREFIX"' EXIT
cmake --install "$BUILD_DIR" --prefix "$PREFIX" >/dev/null || fail "cmake --install failed"

desktop="$PREFIX/share/applications/yulerush.desktop"
[ -f "$desktop" ] || fail "no launcher at $desktop"
key() { sed -n "s/^$1=//p" "$desktop"; }
exec_cmd=$(key Exec)
workdir=$(key Path)
icon=$(key Icon)
[ -x "$exec_cmd" ] || fail "the launcher's command $exec_cmd is not an installed program"
[ -f "$workdir/Data/GUI_00_ES.png" ] || fail "the launcher's folder $workdir holds no Data"
[ -f "$icon" ] || fail "the launcher's icon $icon is missing"
file "$icon" | grep -q "PNG image data, 256 x 256" || fail "the icon is not a 256 x 256 PNG"
[ ! -e "$workdir/Data/Idioma" ] || fail "a language file was installed"

start_xvfb 1024x768x24
(cd "$workdir" && exec env SDL_AUDIODRIVER=dummy "$exec_cmd") >"$ARTIFACTS/install.out" \
  2>"$ARTIFACTS/install.err" &
GAME_PID=$!
find_game_window >/dev/null || fail "the installed game opened no window: $(cat "$ARTIFACTS/install.err")"
mean=0
for i in $(seq 1 120); do
  import -window root "$ARTIFACTS/installed_menu.png" 2>/dev/null
  mean=$(convert "$ARTIFACTS/installed_menu.png" -format "%[fx:int(mean*1000)]" info: 2>/dev/null || echo 0)
  [ "$mean" -gt 100 ] && break
  sleep 0.5
done
[ "$mean" -gt 100 ] || fail "the installed game never drew its menu"
xdotool keydown Escape
sleep 0.3
xdotool keyup Escape
wait_game_exit 30
[ "$GAME_CODE" = "0" ] || fail "the installed game ended with '$GAME_CODE'"
[ ! -s "$ARTIFACTS/install.err" ] || fail "stderr: $(cat "$ARTIFACTS/install.err")"
echo "installed to $PREFIX: launcher, icon and Data in place; the game ran from $workdir, exit 0"

#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Installs only what is missing, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libsdl2-dev libsdl2-mixer-dev fluid-soundfont-gm fluidsynth libfluidsynth-dev
  libcairo2-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libjpeg-dev zlib1g-dev
  libgl-dev libgl1-mesa-dri libglx-mesa0 mesa-utils
  libx11-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick sox python3 file
  openbox  # the window manager that minimises and restores the game in an end-to-end test
  libgtest-dev libgmock-dev libbenchmark-dev
  libassimp-dev  # the .X benchmark's reference importer only; the game never links it
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

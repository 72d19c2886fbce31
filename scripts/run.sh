#!/usr/bin/env bash
# Installs what is missing, builds the game and its content, and starts it from build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target yulerush $(cmake --build build --target help 2>/dev/null | grep -q '^datagen_run' && echo datagen_run)
cd build
exec ./yulerush

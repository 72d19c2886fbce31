#!/usr/bin/env bash
# Installs what is missing, builds the game, the tests and the fuzzers, then runs every
# test: unit (headless), gl (OpenGL under Xvfb), e2e (the real game under Xvfb) and a short
# run of each fuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DYULE_FUZZ_DIR="$PWD/build-fuzz/fuzzers" >/dev/null
cmake --build build -j2

# The fuzzers need clang and their own sanitizer build.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DYULE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2

cd build
# gl tests need a display: one private Xvfb for the whole run (e2e scripts start their own).
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --output-on-failure --timeout 300 "$@"

#!/usr/bin/env bash
# Instructions per frame of the round-frame benchmark, counted by callgrind with the
# software renderer drawing on the calling thread (LP_NUM_THREADS=0): the count, unlike a
# time, does not move with the machine's load, so two versions of the content (or of the
# code) compare exactly even on a busy machine. Only the frames after the warm-up are
# counted: no start-up, no shader compilation.
# Usage: bench/frame_instructions.sh BUILD_DIR DRAWN [DATA_DIR...]
#   DRAWN: 0 everything, 1 animated models only, 2 no 3D model (see bench_round_frame.cpp)
#   DATA_DIR: content folders to compare (default: BUILD_DIR/Data)
set -u
BUILD_DIR=$(cd "${1:?build dir}" && pwd)
DRAWN=${2:-1}
shift 2 2>/dev/null || shift $#
DIRS=${*:-"$BUILD_DIR/Data"}
FRAMES=${FRAMES:-30}
OUT="$BUILD_DIR/artifacts/frame_instructions"
mkdir -p "$OUT"
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
for dir in $DIRS; do
  dir=$(cd "$dir" && pwd)
  name=$(echo "$dir" | tr '/' '_')
  log=$(xvfb-run -a -s "-screen 0 800x600x24" env LIBGL_ALWAYS_SOFTWARE=1 LP_NUM_THREADS=0 \
          YULE_BENCH_FRAMES="$FRAMES" YULE_BENCH_DATA="$dir" \
          valgrind --tool=callgrind --callgrind-out-file="$OUT/callgrind$name.$DRAWN.%p" \
          --toggle-collect='*MeasuredFrame*' "$BUILD_DIR/bench/bench_round_frame" \
          --benchmark_filter="BM_RoundFrame/0/0/1/$DRAWN/" 2>&1)
  # The benchmark process is the one that collected; xvfb-run's helpers collect nothing.
  ir=$(echo "$log" | grep "Collected" | tr -d ',' | awk '{print $4}' | sort -n | tail -1)
  frames=$(echo "$log" | grep -o "measured_frames=[0-9]*" | cut -d= -f2)
  if [ -z "$frames" ] || [ "$frames" -eq 0 ]; then
    echo "$dir: no measured frames" >&2
    continue
  fi
  echo "$dir drawn=$DRAWN: $((ir / frames)) instructions per frame ($frames frames)"
done

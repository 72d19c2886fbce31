#!/usr/bin/env bash
# Runs one fuzzer for a few seconds on a scratch copy of its seed corpus; any crash,
# leak or sanitizer report fails the test.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
[ -x "$fuzzer" ] || { echo "fuzzer $fuzzer was not built"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
[ -d "$seeds" ] && cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
dict="$(cd "$(dirname "$0")" && pwd)/$(basename "$seeds").dict"
flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512
       -print_final_stats=1)
[ -f "$dict" ] && flags+=(-dict="$dict")
cd "$work"
"$fuzzer" "${flags[@]}" corpus

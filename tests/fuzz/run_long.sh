#!/usr/bin/env bash
# Long run of one fuzzer outside the test suite: a working corpus that grows from the
# seeds and persists between runs, the target's dictionary and input size limit when it
# has them, a log per run, and the final counts printed at the end.
#   run_long.sh BUILD_DIR NAME SECONDS [RUNS] [extra libFuzzer flags...]
set -euo pipefail
build=$(cd "$1" && pwd) name=$2 seconds=$3 runs=${4:-10000000}
shift $(( $# < 4 ? $# : 4 ))
here=$(cd "$(dirname "$0")" && pwd)
fuzzer="$build/fuzzers/fuzz_$name"
[ -x "$fuzzer" ] || { echo "fuzzer $fuzzer was not built"; exit 1; }
work="$build/corpora/$name" logs="$build/logs" artifacts="$build/findings/$name/"
mkdir -p "$work" "$logs" "$artifacts"
[ -d "$here/corpus/$name" ] && cp -rn "$here/corpus/$name"/. "$work/"
flags=(-runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512
       -print_final_stats=1 -artifact_prefix="$artifacts")
[ -f "$here/$name.dict" ] && flags+=(-dict="$here/$name.dict")
[ -f "$here/$name.options" ] && read -ra extra < "$here/$name.options" && flags+=("${extra[@]}")
log="$logs/$name-$(date -u +%Y%m%dT%H%M%S).log"
echo "log: $log"
cd "$work/.."
exec nice -n 10 "$fuzzer" "${flags[@]}" "$@" "$work" >"$log" 2>&1

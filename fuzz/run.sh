#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ in a build folder of their own and
# runs each for a bounded time on its seed corpus (fuzz/corpus/<target>).
# New inputs the fuzzer finds go to <build>/fuzz/work/<target>, crashing ones
# to <build>/fuzz/artifacts; the seeds in the repository are only read.
#
#   fuzz/run.sh [BUILD_DIR]    (default build-fuzz)
#   FUZZ_SECONDS   seconds per target (default 5: the CI regression run)
#   FUZZ_TARGETS   the targets to run (default: all)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-5}"
targets="${FUZZ_TARGETS:-ini_file marks paste search_pattern dump_format charcode bitmap_file plugin_output ifjpeg ifpng ifgif}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DOCTILE_CORE_ONLY=ON -DOCTILE_BUILD_TESTS=OFF -DOCTILE_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
# The paste and bitmap targets write scratch files (documents, bitmaps) many
# times a second; on a memory file system the flushes cost nothing.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
failed=0
summary=""
for t in $targets; do
  work="$build/fuzz/work/$t"
  artifacts="$build/fuzz/artifacts"
  log="$build/fuzz/$t.log"
  mkdir -p "$work" "$artifacts"
  args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=3072
        -artifact_prefix="$artifacts/$t-")
  if [ -f "$root/fuzz/$t.dict" ]; then args+=(-dict="$root/fuzz/$t.dict"); fi
  echo "fuzz: $t for ${seconds}s"
  if "$build/fuzz/fuzz_$t" "${args[@]}" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    result="ok"
  else
    result="FAILED (see $log)"
    failed=1
    tail -n 60 "$log"
  fi
  execs="$(awk '/stat::number_of_executed_units/ {print $2}' "$log" | tail -n 1)"
  summary+="$(printf '%-16s %12s executions  %s' "$t" "${execs:-?}" "$result")"$'\n'
done
printf '%s' "$summary"
exit "$failed"

#!/usr/bin/env bash
# Builds a fuzzer with clang (apart from the main build) and runs it for a
# while from its seed files. Exits 77 (skipped) when clang or its fuzzer
# runtime is missing, non-zero on any crash, leak or sanitizer report.
# usage: run_fuzz.sh <source folder> <work folder> [seconds] [myd|dbload]
#   myd     the drawing file reader (seeds in tests/fuzz/seeds)
#   dbload  the drawing database load (seeds in tests/fuzz/db_seeds)
set -euo pipefail
src=$(cd "$1" && pwd)
work=$2
seconds=${3:-60}
target=${4:-myd}
case "$target" in
  myd)
    sources=("$src/tests/fuzz/fuzz_myd.cpp" "$src/src/storage/mydfile.cpp" "$src/src/model/numtext.cpp")
    libs=()
    seeds="$src/tests/fuzz/seeds"
    max_len=8192 ;;
  dbload)
    sources=("$src/tests/fuzz/fuzz_dbload.cpp" "$src/src/storage/drawingdb.cpp" "$src/src/storage/mydfile.cpp"
             "$src/src/platform/database.cpp" "$src/src/platform/accessreader.cpp" "$src/src/model/numtext.cpp")
    libs=(-lsqlite3)
    seeds="$src/tests/fuzz/db_seeds"
    max_len=16384 ;;
  *) echo "unknown fuzz target $target"; exit 2 ;;
esac

clangxx=$(command -v clang++ || true)
if [[ -z "$clangxx" ]]; then
  echo "clang++ not found: fuzzing skipped"
  exit 77
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$src/src")
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$work/probe.cpp"
if ! "$clangxx" "${flags[@]}" "$work/probe.cpp" -o "$work/probe" 2>"$work/probe.log"; then
  echo "clang++ cannot build fuzzers here (libclang-rt-dev missing?): fuzzing skipped"
  cat "$work/probe.log"
  exit 77
fi

echo "building the $target fuzzer with $clangxx"
"$clangxx" "${flags[@]}" -o "$work/fuzz_$target" "${sources[@]}" "${libs[@]}"

rm -rf "$work/corpus"
mkdir -p "$work/corpus"
cd "$work"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# libFuzzer's own failure code is 77, which would read as "skipped": use 1.
status=0
./"fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
  -error_exitcode=1 -timeout_exitcode=1 -print_final_stats=1 -artifact_prefix="$work/crash-" \
  corpus "$seeds" 2>&1 | tee "$work/fuzz.log" || status=$?
if ((status != 0)) || grep -qE "runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer" "$work/fuzz.log"; then
  echo "fuzzing found a problem; inputs are in $work"
  exit 1
fi
echo "fuzzing ran ${seconds}s without a finding"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each on a
# scratch copy of its seed corpus (tests/fuzz/corpus/<name>). The time budget
# is for the whole run and is split evenly over the targets (at least 1 s
# each), so adding a target never lengthens CI.
#   scripts/fuzz.sh [total seconds]   (default: FUZZ_SECONDS or 180)
# A target listed in `caps` runs at most that many seconds of its share.
# Skips, successfully, when clang or its libFuzzer runtime is missing.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
total=${1:-${FUZZ_SECONDS:-180}}
targets=(print_data_fuzz cmd_frame_fuzz zq4846_reply_fuzz bridge_reply_fuzz vfs0050_lines_fuzz
         stored_feature_fuzz key_file_fuzz tpl_blob_fuzz)
declare -A caps=([tpl_blob_fuzz]=20)
seconds=$(( total / ${#targets[@]} ))
(( seconds >= 1 )) || seconds=1

if ! command -v clang++ >/dev/null || ! command -v clang >/dev/null; then
  echo "fuzz: clang not installed, skipped"; exit 0
fi
if ! clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a | grep -q /; then
  echo "fuzz: libFuzzer runtime not installed, skipped"; exit 0
fi

build="$top/build/fuzz"
mkdir -p "$build"
if ! CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DFPDEV_FUZZ=ON -DFPDEV_BUILD_TESTS=OFF -DFPDEV_BUILD_BENCHMARKS=OFF \
     >"$build.configure.log" 2>&1; then
  cat "$build.configure.log"; exit 1
fi
cmake --build "$build" -j "${FPDEV_JOBS:-$(nproc)}" --target "${targets[@]}" || exit 1

status=0
for t in "${targets[@]}"; do
  name=${t%_fuzz}
  run=$seconds
  if [[ -n "${caps[$t]:-}" ]] && (( caps[$t] < run )); then run=${caps[$t]}; fi
  work="$build/corpus/$name"
  rm -rf "$work" && mkdir -p "$work"
  cp "$top/tests/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true
  echo "=== fuzz $t for ${run}s"
  if ! (cd "$build" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/tests/fuzz/$t" -max_total_time="$run" -print_final_stats=1 \
        -max_len=4096 "$work" >"$build/$t.log" 2>&1); then
    tail -60 "$build/$t.log"; status=1
  else
    grep -E "^stat::number_of_executed_units|^Done" "$build/$t.log" | head -2
  fi
done
exit $status

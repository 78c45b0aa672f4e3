#!/usr/bin/env bash
# Sets up the machine, then builds and runs the whole test suite twice: an
# optimised build and a build under AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs the fuzz targets for a bounded time
# (scripts/fuzz.sh; FUZZ_SECONDS for all targets together, default 180; skipped without
# clang), and the plug-in's tests under ThreadSanitizer (scripts/tsan-plugin.sh,
# about a minute). Exits non-zero on any failure.
#   scripts/test.sh            both builds, the fuzz run and the plug-in under TSan
#   scripts/test.sh release    the optimised build only
#   scripts/test.sh asan       the sanitizer build only
#   scripts/test.sh fuzz       the fuzz run only
#   scripts/test.sh tsan       the plug-in's tests under ThreadSanitizer only
# FPDEV_JOBS sets how many build and test jobs run at once (default: all
# cores), for a shared machine.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" || exit 1

jobs=${FPDEV_JOBS:-$(nproc)}
modes=("${@:-release asan fuzz tsan}")
# shellcheck disable=SC2206
modes=(${modes[*]})
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# umockdev's socket path must fit sun_path: keep TMPDIR short.
export TMPDIR=/tmp

status=0
passed=0
failed=0
for mode in "${modes[@]}"; do
  if [[ "$mode" == fuzz ]]; then
    "$top/scripts/fuzz.sh" || status=1
    continue
  fi
  if [[ "$mode" == tsan ]]; then
    "$top/scripts/tsan-plugin.sh" "$jobs" || status=1
    continue
  fi
  build="$top/build/$mode"
  case "$mode" in
    # Line tables only (-g1): sanitizer reports keep their files and lines, and
    # the two builds take a fifth less time than with full debug information.
    release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPDEV_SANITIZE=OFF
                    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
                    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG") ;;
    asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 -DFPDEV_SANITIZE=ON
                 -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1
                 -DFPDEV_BUILD_BENCHMARKS=OFF) ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
  esac
  echo "=== $mode build"
  mkdir -p "$top/build"
  if ! cmake -S "$top" -B "$build" -G Ninja "${flags[@]}" >"$build.configure.log" 2>&1; then
    cat "$build.configure.log"; status=1; continue
  fi
  if ! cmake --build "$build" -j "$jobs"; then status=1; continue; fi
  echo "=== $mode tests"
  if ! (cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 600) | tee "$build.ctest.log"; then
    status=1
  fi
  # "NN% tests passed, F tests failed out of N"
  summary=$(grep -E 'tests failed out of [0-9]+' "$build.ctest.log" | tail -n 1)
  if [[ "$summary" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    echo "no test summary from the $mode run" >&2
    status=1
  fi
done
echo
echo "tests: $passed passed, $failed failed"
exit $status

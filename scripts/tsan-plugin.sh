#!/usr/bin/env bash
# The plug-in's unit tests under ThreadSanitizer: the operation thread, the
# service's stop-request thread and its hot-plug thread meet in the plug-in.
# Builds only the plug-in, the scripted device library and their tests in
# build/tsan, then runs every test in a process of its own, as CTest does.
# Exits non-zero on any failure or report.
#   scripts/tsan-plugin.sh [JOBS]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-$(nproc)}
build=$top/build/tsan
export TMPDIR=/tmp
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
tests=(plugin_community_ops_test plugin_enroll_test plugin_identify_test plugin_clean_test
       plugin_unplug_test plugin_zq4842_test)
mkdir -p "$top/build"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 \
  -DFPDEV_TSAN=ON -DFPDEV_BUILD_BENCHMARKS=OFF >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target "${tests[@]}" fake_fpdev_without_module_type || exit 1

# "binary suite.name" lines, one per test.
list=$build/tsan-tests.txt
: >"$list"
for t in "${tests[@]}"; do
  bin=$build/tests/plugin/$t
  "$bin" --gtest_list_tests | awk -v bin="$bin" '
    /^[^ ]/ { suite = $1; next }
    { print bin, suite $1 }' >>"$list"
done
run_one() {  # run_one BINARY TEST
  local out
  out=$("$1" --gtest_filter="$2" 2>&1)
  if [[ $? -eq 0 ]] && ! grep -q "ThreadSanitizer" <<<"$out"; then
    echo "ok   $2"
  else
    echo "FAIL $2"
    grep -v '^\[\(DEBUG\| INFO\)\]' <<<"$out" | tail -60
    return 1
  fi
}
export -f run_one
start=$(date +%s)
xargs -P "$jobs" -L 1 bash -c 'run_one "$0" "$1"' <"$list" | tee "$build.tests.log"
total=$(wc -l <"$list")
failed=$(grep -c '^FAIL ' "$build.tests.log")
echo "tsan: $((total - failed)) of $total plug-in tests passed in $(($(date +%s) - start)) s"
((failed == 0))

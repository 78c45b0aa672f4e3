# Shell test helper: `check NAME EXPECTED ACTUAL` prints "ok: NAME" or a
# FAIL line with both values and counts the failure in $failures.
# shellcheck shell=bash
failures=0
check() {  # check NAME EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

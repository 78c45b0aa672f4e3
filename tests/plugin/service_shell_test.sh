#!/usr/bin/env bash
# scripts/run-demo.sh --shell driven as a user would, on a terminal (script(1)
# gives it one): wait for the printed controls, then enrol with the service's
# client, verify the enrolled finger (match) and another one (no match),
# identify, search with another finger (nothing found), unplug the sensor
# during an identify and plug it back, and leave the shell, which must stop
# every process of the world and exit 0 (the daemon's log holds no GLib
# CRITICAL line).
#
#   service_shell_test.sh SOURCE_DIR BUILD_DIR
# Exits 77 (DEMO_SKIP_CODE) where the round cannot run.
set -uo pipefail
src=$1 build=$2
skip=${DEMO_SKIP_CODE:-77}
[[ -z "${DEMO_SKIP_REASON:-}" ]] || { echo "SKIP: $DEMO_SKIP_REASON"; exit "$skip"; }
command -v script >/dev/null || { echo "SKIP: script (util-linux) is missing"; exit "$skip"; }
work=$(mktemp -d "${TMPDIR:-/tmp}/zq-shell.XXXXXX") || exit 1
log=$work/session.log
# shellcheck source=../support/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/check.sh"

coproc SESSION { TERM=dumb exec script -qfec "$src/scripts/run-demo.sh --no-setup --build-dir $build --shell" /dev/null; }
session_pid=$SESSION_PID
# A copy of the output's descriptor stays open when bash closes the
# coprocess's own at its end, so that its last lines can still be read.
exec {out}<&"${SESSION[0]}"
in=${SESSION[1]}
finish() {
  kill "$session_pid" 2>/dev/null
  wait "$session_pid" 2>/dev/null
  ((failures == 0)) || { echo "--- the session"; cat "$log"; }
  rm -rf "$work"
}
trap finish EXIT

# expect SECONDS REGEX: reads the session's output until a line matches
# (the line is left in $line); false at the timeout or the end of output.
expect() {
  local deadline=$((SECONDS + $1))
  while ((SECONDS < deadline)); do
    IFS= read -r -t 1 line <&"$out"
    local rc=$?
    if ((rc == 0)); then
      line=${line%$'\r'}
      printf '%s\n' "$line" >>"$log"
      [[ $line =~ $2 ]] && return 0
    elif ((rc <= 128)); then
      return 1  # end of output
    fi
  done
  return 1
}
send() { printf '%s\n' "$1" >&"$in"; }
# drain SECONDS: reads the rest of the session's output into the log, until
# its end or the timeout.
drain() {
  local deadline=$((SECONDS + $1)) rest
  while ((SECONDS < deadline)); do
    IFS= read -r -t 1 rest <&"$out"
    case $? in
      0) printf '%s\n' "${rest%$'\r'}" >>"$log" ;;
      1) return 0 ;;  # end of output
    esac
  done
}

if ! expect 120 'Leave the shell|^SKIP|run-demo: '; then
  echo "FAIL: the shell did not start"; failures=1; exit 1
fi
[[ $line == SKIP* ]] && { echo "$line"; exit "$skip"; }
[[ $line == run-demo:* ]] && { echo "FAIL: $line"; failures=1; exit 1; }
drvid=$(sed -n 's/.*lists the sensor as device \([0-9]*\) .*/\1/p' "$log" | head -1)
pids=$(sed -n 's/^ *processes: //p' "$log" | head -1)
check "the controls name the device" yes "$([[ -n $drvid ]] && echo yes)"
check "the world's processes are up" 4 "$(wc -w <<<"$pids")"

# Each command's status comes back on a line of its own; the echoed command
# line has '$?' there, not a number.
run() {  # run NAME SECONDS COMMAND: the command's exit status in $status
  send "$3; echo \"$1 status=\$?\""
  if expect "$2" "^$1 status=[0-9]+$"; then status=${line##*=}; else status=timeout; fi
}
run enroll 60 "biometric-auth-client enroll -d $drvid -n by-hand"
check "biometric-auth-client enroll" 0 "$status"
run list 20 "biometric-auth-client get-feature-list -d $drvid"
check "one feature stored" 1 "$status"
# Its row: | n | user id | user | type | driver | index | name |
index=$(awk -F'|' '$8 ~ /by-hand/ { gsub(/ /, "", $7); print $7 }' "$log" | head -1)
check "the feature's index is listed" yes "$([[ $index =~ ^[0-9]+$ ]] && echo yes)"
run verify 60 "biometric-auth-client verify -d $drvid -i $index"
check "biometric-auth-client verify, the same finger" 0 "$status"
run identify 60 "identify"
check "identify, the same finger" 0 "$status"
send "next-finger"
expect 10 '^emulated sensor: finger 1 ' || failures=$((failures + 1))
run verify-other 60 "biometric-auth-client verify -d $drvid -i $index"
check "biometric-auth-client verify, another finger" 255 "$status"
run identify-other 60 "identify"
check "identify, another finger" 1 "$status"
run search-other 60 "biometric-auth-client search -d $drvid"
check "biometric-auth-client search, another finger (nothing found)" 0 "$status"

# The emulated sensor's unplug and plug-back controls; an identify that the
# unplug ends says so (no finger is on the sensor, so it waits until then).
send "no-finger"
expect 10 '^emulated sensor: no finger' || failures=$((failures + 1))
run identify-unplugged 30 "(sleep 2; unplug) & identify"
# The service answers either, by whether it drops the device before the
# identify ends; the client says the same for a verify.
said=$(grep -cE '^identify: (The fingerprint device was unplugged|No such device)$' "$log")
# The background unplug's report may follow the next prompt on its line.
grep -q 'emulated sensor: unplugged$' "$log" || expect 10 'emulated sensor: unplugged$'
check "unplug" 0 $?
check "identify ended by an unplug: status and message" "2 1" "$status $said"
send "plug-back"
expect 10 '^emulated sensor: plugged back in at /dev/bus/usb/'
check "plug-back" 0 $?

send "exit"
expect 30 'stopping the private service world' ||
  { echo "FAIL: leaving the shell did not stop the world"; failures=$((failures + 1)); }
drain 10
for _ in $(seq 100); do kill -0 "$session_pid" 2>/dev/null || break; sleep 0.1; done
wait "$session_pid"
check "leaving the shell: exit status (no GLib CRITICAL line in the daemon's log)" 0 $?
left=
for pid in $pids; do kill -0 "$pid" 2>/dev/null && left+=" $pid"; done
check "leaving the shell stops every process of the world" "" "$left"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

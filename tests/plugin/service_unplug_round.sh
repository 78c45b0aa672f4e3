# The sensor unplugged under the real service: sourced by scripts/run-demo.sh
# (DEMO_ROUND) once its private world runs, with its helpers (say, client,
# finger, summary, stop_round, daemon_log_step), the emulator's pid in $emul
# and the work folder in $work.
#
# A finger is enrolled; then ten cycles, each an operation (enrol, verify,
# search and identify in turn) with the sensor unplugged at one of three
# moments in turn (while the device opens, while the operation waits for a
# finger, while a press is processed), then plugged back. Every other cycle
# the remove event comes before the sensor's sysfs entry goes, as a listener
# quicker than the kernel's teardown may see it. In every cycle the daemon
# must stay up, the client must get a clear error within 5 s ("The
# fingerprint device was unplugged", or the service's "No such device"; a
# press processed before the unplug may give its own "no match" first), the
# feature database must be unchanged, and once the sensor is back the
# service must list it exactly once. At the end a verify of the stored
# finger must match, and the daemon's log must hold no GLib CRITICAL line
# but the one of the service's own second answer to a search that found
# nothing.

db=/var/lib/biometric-auth/biometric.db
daemon=${world_pids[${#world_pids[@]} - 1]}
ops=(enroll verify search identify)
moments=(opening waiting press)
cycles=10
steps=(list enrol)
declare -A result=([list]="not run" [enrol]="not run" [verify-at-end]="not run")
for ((c = 1; c <= cycles; c++)); do
  steps+=("cycle-$c")
  result[cycle-$c]="not run"
done
steps+=(verify-at-end)
unplugged_texts="The fingerprint device was unplugged|No such device"

features() {
  sqlite3 "$db" "SELECT UID, EigenIndex, EigenIndexName, SampleNo, EigenData
                 FROM EIGEN_INFO WHERE Driver = 'zq4842' ORDER BY ID;" 2>/dev/null
}
daemon_up() { kill -0 "$daemon" 2>/dev/null && world_has_owner org.ukui.Biometric; }
said() { grep -c "^quorvanta_emulator: $1\$" "$work/emulator.log"; }
# emulator SIGNAL WHAT: sends SIGNAL and waits until the emulator reports WHAT
# once more than before.
emulator() {
  local before
  before=$(said "$2")
  kill -s "$1" "$emul"
  for _ in $(seq 50); do (($(said "$2") > before)) && return 0; sleep 0.1; done
  return 1
}
# rows: the number of rows the service lists for the zq4842 sensor (every
# device, present or not).
rows() {
  timeout 10 biometric-auth-client get-device-list -a 2>/dev/null | grep -c zq4842
}
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
# service_lines TEXT: how many lines of the service log hold TEXT.
service_lines() { grep -c -F "$1" "$work/service.log"; }
# wait_until COMMAND...: polls COMMAND every 10 ms for up to 5 s.
wait_until() {
  for _ in $(seq 500); do "$@" && return 0; sleep 0.01; done
  return 1
}
more_than() { (($(service_lines "$1") > $2)); }

say "==> [1] list the devices"
client get-device-list -a
drvid=$(awk -F'|' '$4 ~ /zq4842/ { gsub(/ /, "", $3); print $3 }' "$work/client.out" | head -1)
[[ -n "$drvid" ]] || { result[list]="FAILED: zq4842 not listed"; stop_round "the device is not listed"; }
result[list]="ok: zq4842 is device $drvid"

say "==> [2] enrol finger 0 as \"stored-finger\""
client enroll -d "$drvid" -n stored-finger
rc=$?
[[ $rc -eq 0 && $(features | wc -l) -eq 1 ]] ||
  { result[enrol]="FAILED (client exit $rc)"; stop_round "enrolment failed"; }
result[enrol]="ok: stored"
index=$(sqlite3 "$db" "SELECT EigenIndex FROM EIGEN_INFO WHERE EigenIndexName = 'stored-finger';")

on_sensor=0  # the finger the emulator presses, -1 for none
# select_finger N: moves the emulator to finger N (-1: none).
select_finger() {
  while ((on_sensor < $1)); do
    on_sensor=$((on_sensor + 1))
    emulator USR1 "finger $on_sensor (.*)" || stop_round "the emulator did not change fingers"
  done
  while ((on_sensor > $1)); do
    on_sensor=$((on_sensor - 1))
    if ((on_sensor < 0)); then
      emulator USR2 "no finger"
    else
      emulator USR2 "finger $on_sensor (.*)"
    fi || stop_round "the emulator did not change fingers"
  done
}
for ((c = 1; c <= cycles; c++)); do
  op=${ops[(c - 1) % ${#ops[@]}]}
  moment=${moments[(c - 1) % ${#moments[@]}]}
  case $op in
    enroll) args=(biometric-auth-client enroll -d "$drvid" -n unplugged-finger) ;;
    verify) args=(biometric-auth-client verify -d "$drvid" -i "$index") ;;
    search) args=(biometric-auth-client search -d "$drvid") ;;
    identify)
      args=(dbus-send --system --print-reply --reply-timeout=40000 --dest=org.ukui.Biometric
            /org/ukui/Biometric org.ukui.Biometric.Identify "int32:$drvid" int32:0 int32:0 int32:-1) ;;
  esac
  say "==> [cycle $c] $op, the sensor unplugged while $moment"
  before=$(features)
  # A press to process is that of finger 1, which no stored finger matches,
  # so that nothing is stored or updated whatever its outcome; the emulator
  # holds the unplug back until the operation has read it. Otherwise the
  # operation waits for a finger.
  if [[ $moment == press ]]; then select_finger 1; else select_finger -1; fi
  if [[ $moment == press ]]; then
    emulator RTMIN+4 "the next unplug waits for a press to be read" ||
      stop_round "the emulator did not take the signal"
  fi
  opens=$(service_lines "community_ops_open")
  started_at=$(date +%s%N)
  timeout 45 "${args[@]}" >"$work/client.out" 2>&1 &
  op_client=$!
  case $moment in
    opening) wait_until more_than "community_ops_open" "$opens" ;;
    waiting) wait_until more_than "community_ops_open" "$opens" && sleep 1 ;;
    press) ;;
  esac
  # Every other cycle the remove event comes first and the sensor's sysfs
  # entry lingers after it.
  if ((c % 2)); then unplug=RTMIN+1; how="in the kernel's order"; else unplug=RTMIN+3; how="sysfs lingering"; fi
  emulator "$unplug" unplugged || stop_round "the emulator did not unplug the sensor"
  unplugged_at=$(date +%s%N)
  in_ms=$(((unplugged_at - started_at) / 1000000))
  wait "$op_client"
  rc=$?
  took=$(ms_since "$unplugged_at")
  sed 's/^/      | /' "$work/client.out" | tail -4
  why=()
  daemon_up || { result[cycle-$c]="FAILED: the daemon went down"; stop_round "the daemon went down"; }
  # The client must see the unplug as an error. A press processed before
  # the unplug may end a verify or search with its own "no match" first; the
  # service's Identify method gives a result and a user only, which must not
  # be a match.
  if [[ $op == identify ]]; then
    reply=$(awk '/int32/ { printf "%s%s", s, $2; s=" " }' "$work/client.out")
    [[ $rc -eq 0 && -n $reply && $reply != "0 "* ]] || why+=("identify answered [$reply] (exit $rc)")
  elif ! grep -qE "$unplugged_texts" "$work/client.out"; then
    [[ $moment == press && $op != enroll ]] &&
      grep -qE "Verify feature no match|No specified features were found" "$work/client.out" ||
      why+=("no clear error from the client (exit $rc)")
  fi
  ((took <= 5000)) || why+=("the client waited ${took} ms")
  [[ "$(features)" == "$before" ]] || why+=("the feature database changed")

  emulator RTMIN+2 "plugged back in at .*" || stop_round "the emulator did not plug the sensor back"
  # The service hears of the sensor from its hot-plug thread; it lists it
  # once that is done.
  n=0
  for _ in $(seq 50); do
    n=$(rows)
    ((n >= 1)) && break
    sleep 0.1
  done
  sleep 0.3
  n=$(rows)
  ((n == 1)) || why+=("the service lists the sensor $n times")
  if ((${#why[@]} == 0)); then
    text=$(grep -oE "$unplugged_texts|no match|No specified features were found" "$work/client.out" | tail -1)
    [[ $op == identify ]] && text="[$reply]"
    result[cycle-$c]="ok: $op unplugged while $moment (${in_ms} ms in, $how): \"${text:-exit $rc}\" after ${took} ms, 1 row"
  else
    result[cycle-$c]="FAILED: $op unplugged while $moment ($how): $(printf '%s; ' "${why[@]}")"
    tail -30 "$work/service.log" | sed 's/^/      service | /'
  fi
done

say "==> [end] verify the stored finger"
select_finger 0
client verify -d "$drvid" -i "$index"
rc=$?
if [[ $rc -eq 0 ]]; then
  result[verify-at-end]="ok: match"
else
  result[verify-at-end]="FAILED: exit $rc, expected a match"
  tail -40 "$work/service.log" | sed 's/^/      service | /'
fi

steps+=(daemon-log)
daemon_log_step "$world_search_answered_twice"
summary

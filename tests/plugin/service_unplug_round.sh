# The sensor unplugged under the real service: sourced by scripts/run-demo.sh
# (DEMO_ROUND) once its private world runs, with its helpers (say, client,
# finger, summary, stop_round), the emulator's pid in $emul and the work
# folder in $work.
#
# A finger is enrolled; then for enrol, verify and search in turn: the
# operation starts with no finger on the sensor, the sensor is unplugged two
# seconds in, and the daemon must stay up, the client must get a clear error
# within 5 s ("The fingerprint device was unplugged", or the service's "No
# such device") and the feature database must be unchanged; after the sensor is
# plugged back, a verify of the stored finger must match. At the end the
# daemon's log must hold no GLib CRITICAL line but the one of the service's
# own second answer to a search that found nothing.

db=/var/lib/biometric-auth/biometric.db
daemon=${world_pids[${#world_pids[@]} - 1]}
steps=(list enrol)
declare -A result=([list]="not run" [enrol]="not run")
for op in enroll verify search; do
  steps+=("$op-unplugged" "$op-replugged")
  result[$op-unplugged]="not run"
  result[$op-replugged]="not run"
done

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
# listed: true when the service lists the zq4842 device (it lists only the
# drivers that have a device plugged in).
listed() { timeout 10 biometric-auth-client get-device-list 2>/dev/null | grep -q zq4842; }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

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

n=3
for op in enroll verify search; do
  case $op in
    enroll) args=(enroll -d "$drvid" -n unplugged-finger) ;;
    verify) args=(verify -d "$drvid" -i "$index") ;;
    search) args=(search -d "$drvid") ;;
  esac
  say "==> [$n] $op, the sensor unplugged two seconds in"
  n=$((n + 1))
  before=$(features)
  emulator USR2 "no finger"  # the operation waits for a finger
  timeout 45 biometric-auth-client "${args[@]}" >"$work/client.out" 2>&1 &
  op_client=$!
  sleep 2
  emulator RTMIN+1 unplugged
  unplugged_at=$(date +%s%N)
  wait "$op_client"
  rc=$?
  took=$(ms_since "$unplugged_at")
  sed 's/^/      | /' "$work/client.out" | tail -6
  why=()
  daemon_up || why+=("the daemon went down")
  ((rc != 0)) || why+=("the client reported success")
  ((took <= 5000)) || why+=("the client waited ${took} ms")
  # The plug-in's text, or the service's own when it has already dropped the
  # device from its list by the time the client asks for the message.
  grep -qE "The fingerprint device was unplugged|No such device" "$work/client.out" ||
    why+=("no clear error from the client")
  [[ "$(features)" == "$before" ]] || why+=("the feature database changed")
  if ((${#why[@]} == 0)); then
    text=$(grep -oE "The fingerprint device was unplugged|No such device" "$work/client.out" | tail -1)
    result[$op-unplugged]="ok: \"$text\" after ${took} ms, daemon up, database unchanged"
  else
    result[$op-unplugged]="FAILED: $(printf '%s; ' "${why[@]}")"
    tail -40 "$work/service.log" | sed 's/^/      service | /'
    daemon_up || stop_round "the daemon went down"
  fi

  say "==> [$n] plug the sensor back, verify the stored finger"
  n=$((n + 1))
  emulator RTMIN+2 "plugged back in at .*" || stop_round "the emulator did not plug the sensor back"
  for _ in $(seq 100); do listed && break; sleep 0.1; done
  emulator USR1 "finger 0 (arch)"
  client verify -d "$drvid" -i "$index"
  rc=$?
  if [[ $rc -eq 0 ]]; then
    result[$op-replugged]="ok: match"
  else
    result[$op-replugged]="FAILED: exit $rc, expected a match"
    tail -40 "$work/service.log" | sed 's/^/      service | /'
  fi
done

steps+=(daemon-log)
if criticals=$(world_log_criticals "$work/service.log" "$world_search_answered_twice"); then
  result[daemon-log]="ok: no GLib CRITICAL line"
else
  result[daemon-log]="FAILED: GLib CRITICAL lines"
  sed 's/^/      service | /' <<<"$criticals"
fi
summary

# The shell inside the private service world (scripts/run-demo.sh --shell).
# Source it after the world is up (service_world.sh, the emulator, the daemon).

# service_shell WORK EMULATOR_PID PRESSED_BY: finds the zq4842 device, then
# runs an interactive bash with the service's client at hand and the
# emulated sensor's controls defined and printed. Returns when the shell is
# left; the caller's EXIT trap then stops the world.
service_shell() {
  local work=$1 emul=$2 pressed_by=$3 drvid
  drvid=$(timeout 45 biometric-auth-client get-device-list -a 2>/dev/null |
    awk -F'|' '$4 ~ /zq4842/ { gsub(/ /, "", $3); print $3 }' | head -1)
  if [[ -z $drvid ]]; then
    tail -20 "$work/service.log" | sed 's/^/      service | /'
    die "the service does not list the zq4842 device (service log above)"
  fi
  {
    printf 'ZQ_WORK=%q\nZQ_EMULATOR=%q\nZQ_DEVICE=%q\nZQ_PRESSED_BY=%q\n' \
      "$work" "$emul" "$drvid" "$pressed_by"
    cat <<'RC'
export ZQ_DEVICE
PS1='(zq4842) \w\$ '

# The emulator's lines after line $1 of its log, presses left out.
_zq_since() {
  sed -n "$(($1 + 1)),\$p" "$ZQ_WORK/emulator.log" | grep -v ' press [0-9]' |
    sed 's/^quorvanta_emulator: /emulated sensor: /'
}
# _zq_signal SIGNAL: sends it to the emulator and shows what it reports.
_zq_signal() {
  local before
  before=$(wc -l <"$ZQ_WORK/emulator.log")
  kill -s "$1" "$ZQ_EMULATOR" || return 1
  for _ in $(seq 50); do
    (($(wc -l <"$ZQ_WORK/emulator.log") > before)) && break
    sleep 0.1
  done
  _zq_since "$before"
}
# The finger the emulator presents now ("finger N (...)" or "no finger").
_zq_finger() {
  grep -oE '(finger [0-9]+ \(.*\)|no finger.*)$' "$ZQ_WORK/emulator.log" | tail -1
}
next-finger() { _zq_signal USR1; }
previous-finger() { _zq_signal USR2; }
no-finger() {
  local n=0
  while [[ $(_zq_finger) != "no finger"* ]] && ((n++ < 10000)); do
    _zq_signal USR2 >/dev/null
  done
  echo "emulated sensor: $(_zq_finger)"
}
unplug() { _zq_signal RTMIN+1; }
plug-back() { _zq_signal RTMIN+2; }
service-log() { tail -n "${1:-20}" "$ZQ_WORK/service.log"; }
emulator-log() { tail -n "${1:-20}" "$ZQ_WORK/emulator.log"; }
# identify [UID]: the service's Identify method on the device (the client
# has no command for it). Says what happened as the client does for verify:
# a failure (result -2) in the service's own words (its notify message, such
# as "The fingerprint device was unplugged" or "Identify operation timeout").
# Exit status 0 on a match, 1 on no match, 2 on any failure.
identify() {
  local reply got mesg
  reply=$(timeout 45 dbus-send --system --print-reply --reply-timeout=40000 \
    --dest=org.ukui.Biometric /org/ukui/Biometric org.ukui.Biometric.Identify \
    "int32:$ZQ_DEVICE" "int32:${1:-0}" int32:0 int32:-1 2>&1) || { echo "$reply"; return 2; }
  read -r -a got <<<"$(awk '/int32/ { printf "%s ", $2 }' <<<"$reply")"
  case ${got[0]:-} in
    0) echo "identify: match, user ${got[1]:-?}"; return 0 ;;
    -1) echo "identify: no match"; return 1 ;;
    -2)
      mesg=$(dbus-send --system --print-reply --dest=org.ukui.Biometric /org/ukui/Biometric \
        org.ukui.Biometric.GetNotifyMesg "int32:$ZQ_DEVICE" 2>/dev/null |
        sed -n 's/^ *string "\(.*\)"$/\1/p' | head -1)
      echo "identify: ${mesg:-an error was encountered (result ${got[*]})}" ;;
    -3) echo "identify: The device is busy, please try again later" ;;
    -4) echo "identify: No such device" ;;
    -5) echo "identify: No permission to perform this operation" ;;
    *) echo "identify: unexpected reply (result ${got[*]})" ;;
  esac
  return 2
}
controls() {
  cat <<EOF
A shell inside the private service world: system bus, polkitd, the emulated
sensor (pressed by $ZQ_PRESSED_BY) and the service daemon with the staged
zq4842 plug-in, which lists the sensor as device $ZQ_DEVICE (\$ZQ_DEVICE).
  biometric-auth-client get-device-list -a
  biometric-auth-client enroll -d $ZQ_DEVICE -n NAME     enrol the finger on the sensor
  biometric-auth-client get-feature-list -d $ZQ_DEVICE   the stored features and their indexes
  biometric-auth-client verify -d $ZQ_DEVICE -i INDEX    verify a new press against feature INDEX
  biometric-auth-client search -d $ZQ_DEVICE
  biometric-auth-client clean -d $ZQ_DEVICE -i -1        remove every feature
  identify [UID]        the service's Identify method
Emulated sensor: next-finger, previous-finger, no-finger, unplug, plug-back
Logs: service-log [LINES], emulator-log [LINES]; controls: this text again.
Leave the shell (exit or Ctrl-D) to stop everything.
EOF
}
controls
RC
  } >"$work/shell.rc"
  say "    processes: ${world_pids[*]}"
  say ""
  # Ctrl-C belongs to the commands run in the shell, not to this script.
  trap ':' INT
  bash --rcfile "$work/shell.rc" -i
  trap 'exit 1' INT
  say "==> Left the shell: stopping the private service world"
}

# Shell helpers shared by the scripts that run the real biometric-authentication
# daemon in a private mount namespace (scripts/run-demo.sh and the daemon
# end-to-end test). Source it after `unshare --mount`; each caller defines
# world_fail MESSAGE (report and stop) before calling world_wait_for.

# world_private_varlib WORK: an empty /var/lib (so an empty feature database
# folder) that keeps the system bus's and polkit's folders; the real one stays
# reachable under WORK/varlib.
world_private_varlib() {
  local work=$1 keep
  mkdir -p "$work/varlib"
  mount --bind /var/lib "$work/varlib"
  mount -t tmpfs -o mode=755 tmpfs /var/lib
  for keep in dbus polkit-1; do
    if [[ -d "$work/varlib/$keep" ]]; then
      mkdir -p "/var/lib/$keep"
      mount --bind "$work/varlib/$keep" "/var/lib/$keep"
    fi
  done
  mkdir -p /var/lib/biometric-auth
}

# Background processes started with world_track PID are stopped, newest first,
# by world_stop_all (politely, then by force after 5 s).
world_pids=()
world_track() { world_pids+=("$1"); }
world_stop_all() {
  local i pid
  for ((i = ${#world_pids[@]} - 1; i >= 0; i--)); do
    pid=${world_pids[i]}
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}

# world_has_owner NAME: true when NAME is owned on the system bus.
world_has_owner() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}

# world_wait_for WHAT COMMAND...: polls COMMAND for up to 10 s; calls
# world_fail "WHAT did not come up" when it never succeeds.
world_wait_for() {
  local what=$1
  shift
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  world_fail "$what did not come up"
}

# world_start_bus WORK: a private system bus and polkitd, logs under WORK.
world_start_bus() {
  local work=$1
  mkdir -p /run/dbus
  dbus-daemon --system --nofork --nopidfile >"$work/dbus.log" 2>&1 &
  world_track $!
  world_wait_for "the system bus" test -S /run/dbus/system_bus_socket
  /usr/lib/polkit-1/polkitd --no-debug >"$work/polkitd.log" 2>&1 &
  world_track $!
  world_wait_for "polkitd" world_has_owner org.freedesktop.PolicyKit1
}

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

# The service's own search handler answers a search that ends in anything but
# a match (no match, time-out, stop, error, unplug) twice: once with its
# count 0 or -2, then once more, as for a match, on the call it has already
# answered; GLib refuses that second answer with this CRITICAL line. A round
# that searches passes it to world_log_criticals.
world_search_answered_twice="g_dbus_method_invocation_return_value_internal: assertion 'G_IS_DBUS_METHOD_INVOCATION (invocation)' failed"

# world_log_criticals LOG [ALLOWED...]: prints the GLib CRITICAL lines of the
# daemon's log LOG whose message (the text after the time stamp) is none of
# ALLOWED; true when there is none. A missing log is an error.
world_log_criticals() {
  local log=$1 line message allowed found=0
  shift
  [[ -r $log ]] || { echo "no daemon log $log"; return 1; }
  while IFS= read -r line; do
    message=$(sed -E 's/^.*CRITICAL \*\*: ([0-9:.]+: )?//' <<<"$line")
    for allowed in "$@"; do
      [[ $message == "$allowed" ]] && continue 2
    done
    printf '%s\n' "$line"
    found=1
  done < <(grep -a 'CRITICAL \*\*' "$log")
  ((found == 0))
}

#!/usr/bin/env bash
# The plug-in in the real biometric-authentication service, end to end:
# a system bus, polkitd and the service daemon with the plug-in (and a
# scripted device library behind it), driven by biometric-auth-client.
#
#   service_end_to_end.sh PLUGIN.so DEVICE_LIBRARY.so
#
# Everything runs in a private mount namespace with its own /run, service
# configuration folder, feature-database folder and drivers folder; every
# process started here is stopped by its pid on the way out. Needs root;
# exits 77 (skipped) otherwise, or when SERVICE_SKIP gives a reason.
set -uo pipefail

skip() {
  echo "SKIP: $*"
  exit 77
}

if [[ "${1:-}" != --inside ]]; then
  [[ $# -eq 2 ]] || { echo "usage: $0 PLUGIN.so DEVICE_LIBRARY.so" >&2; exit 2; }
  [[ -z "${SERVICE_SKIP:-}" ]] || skip "$SERVICE_SKIP"
  [[ $(id -u) -eq 0 ]] || skip "the service end-to-end test needs root (private mounts, system bus, polkitd)"
  for tool in unshare dbus-daemon dbus-send sqlite3 biometric-auth-client \
              /usr/lib/biometric-authentication/biometric-authenticationd \
              /usr/lib/polkit-1/polkitd; do
    command -v "$tool" >/dev/null 2>&1 ||
      skip "$tool is missing (scripts/packages.d/service.txt lists the packages)"
  done
  unshare --mount --propagation private true 2>/dev/null ||
    skip "no private mount namespace can be made here"
  plugin=$(realpath "$1") library=$(realpath "$2")
  exec unshare --mount --propagation private "$0" --inside "$plugin" "$library"
fi
plugin=$2
library=$3

# --- A private world -----------------------------------------------------------
# shellcheck source=../../scripts/lib/service_world.sh
source "$(dirname "$0")/../../scripts/lib/service_world.sh"
set -e
mount -t tmpfs -o mode=755 tmpfs /run
work=/run/zq4842-end-to-end
mkdir -p "$work/service" "$work/varlib" /run/dbus
# The daemon writes its pid file into /tmp: a private one, after taking
# copies of the plug-in and the library in case they live there.
cp "$plugin" "$work/zq4842.so"
cp "$library" "$work/zq4842-extra.so"
plugin=$work/zq4842.so
library=$work/zq4842-extra.so
mount -t tmpfs -o mode=1777 tmpfs /tmp

# The drivers folder, where the plug-in finds its device library; the
# daemon itself stays reachable through a bind of its folder.
mount --bind /usr/lib/biometric-authentication "$work/service"
mount -t tmpfs -o mode=755 tmpfs /usr/lib/biometric-authentication
mkdir -p /usr/lib/biometric-authentication/drivers/extra
ln -s "$library" /usr/lib/biometric-authentication/drivers/extra/zq4842-extra.so

# The configuration folder.
mkdir -p /etc/biometric-auth
mount -t tmpfs -o mode=755 tmpfs /etc/biometric-auth
cat >/etc/biometric-auth/biometric-drivers.conf <<EOF
[zq4842]
Enable=true
Driver=$plugin
EOF

# The feature-database folder: an empty one over /var/lib/biometric-auth,
# made inside a private /var/lib that keeps the bus's and polkit's folders.
world_private_varlib "$work"
db=/var/lib/biometric-auth/biometric.db
set +e

# --- Processes -------------------------------------------------------------------
failures=0
finish() {
  world_stop_all
  if ((failures > 0)); then
    echo "--- service log"
    cat "$work/service.log" 2>/dev/null
  fi
}
trap finish EXIT
trap 'exit 1' TERM INT HUP

world_fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
  exit 1
}
world_start_bus "$work"

script=$work/device-script
cat >"$script" <<EOF
devices 35
stages 4
finger left-index
EOF
FAKE_FPDEV_SCRIPT=$script "$work/service/biometric-authenticationd" >"$work/service.log" 2>&1 &
world_track $!
world_wait_for "the service" world_has_owner org.ukui.Biometric

# --- Checks ----------------------------------------------------------------------
# shellcheck source=../support/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/check.sh"
client() {  # client ARGS...: runs the client, keeps its output, returns its code
  timeout 60 biometric-auth-client "$@" >"$work/client.out" 2>&1
  local rc=$?
  sed 's/^/    | /' "$work/client.out"
  return $rc
}
finger() {
  sed -i "s/^finger .*/finger $1/" "$script"
}
sql() {
  sqlite3 "$db" "$1"
}

client get-device-list -a
check "device list exit code" 0 $?
drvid=$(awk -F'|' '$4 ~ /zq4842/ { gsub(/ /, "", $3); print $3 }' "$work/client.out")
check "the device is listed" 1 "$(grep -c "zq4842" "$work/client.out")"
echo "driver id: $drvid"
[[ -n "$drvid" ]] || exit 1

# The stored text of a print of the scripted library holding FINGER: the
# base64 of its FP2 blob (driver 35, device type 0, data type 1, one item).
stored_text() {
  { printf 'FP2\x23\x00\x00\x00\x00\x00\x01'
    printf "$(printf '\\x%02x' "${#1}")\\x00\\x00\\x00"
    printf '%s' "$1"; } | base64 -w0
}
check "stored text of the 3-byte finger abc" "RlAyIwAAAAAAAQMAAABhYmM=" "$(stored_text abc)"
rows() {  # the stored features of zq4842: "uid|index|name|sample no|data" lines
  sql "SELECT UID, EigenIndex, EigenIndexName, SampleNo, EigenData FROM EIGEN_INFO
       WHERE Driver = 'zq4842' AND BioType = 0 ORDER BY UID, EigenIndex;"
}
index_of() {
  sql "SELECT EigenIndex FROM EIGEN_INFO WHERE Driver = 'zq4842' AND EigenIndexName = '$1';"
}

# Enrolment: three fingers of root, each stored as the base64 of its print.
for name in left-index right-thumb left-ring; do
  finger "$name"
  client enroll -d "$drvid" -n "$name"
  check "enroll $name: exit code" 0 $?
  check "enroll $name: stored" "0|1|$(stored_text "$name")" \
    "$(sql "SELECT UID, SampleNo, EigenData FROM EIGEN_INFO WHERE EigenIndexName = '$name';")"
done
check "enroll shows the stage progress" 1 "$(grep -c "Sampling progress \[75%\]" "$work/client.out")"
check "three features stored" 3 "$(rows | wc -l)"
client get-feature-list -d "$drvid"
check "feature list: exit code is the count" 3 $?

# Verify: a match updates the stored template; another finger does not match.
left=$(index_of left-index)
finger left-index
client verify -d "$drvid" -i "$left"
check "verify, same finger: exit code" 0 $?
check "verify: the matched template is updated" "$(stored_text left-index+)" \
  "$(sql "SELECT EigenData FROM EIGEN_INFO WHERE EigenIndexName = 'left-index';")"
finger middle
client verify -d "$drvid" -i "$left"
check "verify, other finger: exit code (no match)" 255 $?

# Identify (no client command: the service's D-Bus method).
finger right-thumb
reply=$(timeout 60 dbus-send --system --print-reply --reply-timeout=50000 \
  --dest=org.ukui.Biometric /org/ukui/Biometric org.ukui.Biometric.Identify \
  "int32:$drvid" int32:0 int32:0 int32:-1 2>&1)
echo "$reply" | sed 's/^/    | /'
check "identify: result and user" "0 0" "$(echo "$reply" | awk '/int32/ { printf "%s%s", s, $2; s=" " }')"
check "identify: the matched template is updated" "$(stored_text right-thumb+)" \
  "$(sql "SELECT EigenData FROM EIGEN_INFO WHERE EigenIndexName = 'right-thumb';")"

# A stop request while the service waits for a finger (the client stops the
# operation on SIGINT): the verification ends as stopped by the user.
finger ""
device_status() {
  dbus-send --system --print-reply --dest=org.ukui.Biometric /org/ukui/Biometric \
    org.ukui.Biometric.UpdateStatus "int32:$drvid" | awk '/int32/ { print $2 }' | sed -n '4,5p' | xargs
}
# Polls until the device status (first field) satisfies the test $1, for at
# most 20 s: a loaded machine may take a while to start or end an operation.
wait_status() {
  local i
  for ((i = 0; i < 200; i++)); do
    status=$(device_status)
    if [ "${status%% *}" "$1" 0 ]; then return 0; fi
    sleep 0.1
  done
  return 1
}
timeout 60 biometric-auth-client verify -d "$drvid" -i "$left" >"$work/client.out" 2>&1 &
stopped=$!
wait_status -ne
kill -INT "$stopped"
wait "$stopped"
wait_status -eq
check "stopped verify: device status and result" "0 303" "$status"

# Search: every stored finger whose template starts with "left".
finger left
client search -d "$drvid"
check "search: exit code is the count" 2 $?
check "search: the left fingers are listed" "left-index left-ring" \
  "$(awk -F"|" '$2 ~ /[0-9]/ { gsub(/ /, "", $6); print $6 }' "$work/client.out" | xargs)"

# Clean: one finger, then all of them.
client clean -d "$drvid" -i "$(index_of right-thumb)"
check "clean one: exit code" 0 $?
check "clean one: the others are kept" "left-index left-ring" \
  "$(sql "SELECT EigenIndexName FROM EIGEN_INFO ORDER BY EigenIndex;" | xargs)"
client clean -d "$drvid" -i -1
check "clean all: exit code" 0 $?
check "clean all: nothing left" 0 "$(rows | wc -l)"
finger left-index
client verify -d "$drvid" -i "$left"
check "verify after clean: exit code (no match)" 255 $?

check "the daemon's log has no GLib CRITICAL line" "" "$(world_log_criticals "$work/service.log")"

echo "=== done"
((failures == 0))

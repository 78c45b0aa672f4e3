#!/usr/bin/env bash
# The whole stack on the real biometric-authentication service, without
# fingerprint hardware: sets up and builds what is missing, installs into a
# staging folder, then in a private mount namespace starts a system bus,
# polkitd, the emulated Quorvanta sensor (the 0x4842 bridge, 96x96, pressed
# by synthetic fingers) and the service daemon with the staged plug-in and
# device library, and drives it with the service's client: list the device,
# enrol a finger, verify a new press of it (match), verify another finger
# (no match), identify, list the stored features, verify and identify again
# beside a damaged stored print of the same finger (both match), clean up;
# the daemon's log must then hold no GLib CRITICAL line.
#
#   scripts/run-demo.sh [--no-setup] [--build-dir DIR] [--images DIR] [--shell]
#
# --shell: instead of the round, a shell inside the same world, with the
# service's client and the emulated sensor's controls ready (printed at its
# start); leaving the shell stops everything, and the exit status is 1 when
# the daemon's log holds a GLib CRITICAL line.
# --images DIR: the emulated sensor presses the 8-bit PGM files of DIR
# (<finger>_<impression>.pgm, 96x96) instead of synthetic fingers.
# FPDEV_JOBS: build jobs (default: all cores).
#
# It needs root: run by another user it says so and asks sudo to run it,
# before doing anything else.
# The machine's own service, its configuration and its feature database are
# not touched: /run, /tmp, /etc/biometric-auth, /var/lib and the service's
# drivers folder are private to the run; the checkout and the build folder
# may lie anywhere, /tmp included. Exits 0 only when every step gave
# its expected result. With DEMO_SKIP_CODE set (the test suite runs it so),
# a machine that cannot run it (not root, no namespaces, a tool missing, or
# DEMO_SKIP_REASON given) exits with that code instead of failing.
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
say() { printf '%s\n' "$*"; }
die() { say "run-demo: $*" >&2; exit 1; }

if [[ "${1:-}" != --inside ]]; then
  args=("$@")
  setup=1
  build=$here/build/demo
  images=
  mode=round
  while [[ $# -gt 0 ]]; do
    case $1 in
      --no-setup) setup=0 ;;
      --build-dir) [[ $# -ge 2 ]] || die "--build-dir needs a folder"; build=$2; shift ;;
      --images) [[ $# -ge 2 ]] || die "--images needs a folder"; images=$2; shift ;;
      --shell) mode=shell ;;
      -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
      *) die "unknown argument $1 (see --help)" ;;
    esac
    shift
  done
  # As a test (DEMO_SKIP_CODE set), a machine that cannot run it skips.
  cannot() {
    [[ -n "${DEMO_SKIP_CODE:-}" ]] && { say "SKIP: $*"; exit "$DEMO_SKIP_CODE"; }
    die "$*"
  }
  [[ -z "${DEMO_SKIP_REASON:-}" ]] || cannot "$DEMO_SKIP_REASON"
  if [[ $(id -u) -ne 0 ]]; then
    [[ -z "${DEMO_SKIP_CODE:-}" ]] || cannot "the demo round needs root"
    say "run-demo: this needs root, and nothing has been done yet."
    say "  It installs missing Debian packages, makes a private mount namespace and"
    say "  starts its own system bus, polkitd and service daemon inside it."
    if command -v sudo >/dev/null 2>&1; then
      say "  Asking sudo to run it as root."
      exec sudo "$0" "${args[@]}"
    fi
    say "  Run it as root (sudo is not installed here)."
    exit 1
  fi
  command -v unshare >/dev/null || cannot "unshare (util-linux) is missing"
  unshare --mount --propagation private true 2>/dev/null ||
    cannot "no private mount namespace can be made here"

  if ((setup)); then
    say "==> Setting up (Debian packages)"
    "$here/scripts/setup.sh" || die "setup failed"
  fi
  say "==> Building in $build"
  mkdir -p "$build" || die "cannot create the build folder $build"
  build=$(cd "$build" && pwd)
  if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DFPDEV_BUILD_BENCHMARKS=OFF >"$build/demo-configure.log" 2>&1 ||
      { tail -20 "$build/demo-configure.log"; die "configure failed (log: $build/demo-configure.log)"; }
  fi
  cmake --build "$build" -j"${FPDEV_JOBS:-$(nproc)}" --target fpdev_quorvanta zq4842 fpdev_udev_rule \
    quorvanta_emulator >"$build/demo-build.log" 2>&1 ||
    { tail -30 "$build/demo-build.log"; die "build failed (log: $build/demo-build.log)"; }
  stage=$build/demo-stage
  rm -rf "$stage"
  DESTDIR=$stage cmake --install "$build" --prefix /usr >"$build/demo-install.log" 2>&1 ||
    { cat "$build/demo-install.log"; die "staging install failed"; }
  say "    staged install in $stage"
  emulator=$build/tests/emul/sensor/quorvanta_emulator
  [[ -x $emulator ]] || die "the emulator was not built ($emulator)"
  for tool in dbus-daemon dbus-send biometric-auth-client \
              /usr/lib/biometric-authentication/biometric-authenticationd \
              /usr/lib/polkit-1/polkitd; do
    command -v "$tool" >/dev/null 2>&1 || cannot "$tool is missing (scripts/setup.sh installs it)"
  done
  if [[ -n $images ]]; then
    [[ -d $images ]] || die "--images: $images is not a folder"
    images=$(cd "$images" && pwd)
  fi
  exec unshare --mount --propagation private "$0" --inside "$build" "$images" "$mode"
fi
build=$2
images=$3
mode=$4
started=$(date +%s%N)

# --- A private world ------------------------------------------------------------
# shellcheck source=lib/service_world.sh
source "$here/scripts/lib/service_world.sh"
say "==> Starting a private service world"
set -e
# The checkout, the build folder and the image folder may lie under a folder
# the round replaces (/tmp, /run, ...): they stay reachable through binds
# under the private /run, made from descriptors opened before anything is
# replaced; so does a round script given in DEMO_ROUND.
exec 6<"${DEMO_ROUND:-/dev/null}" 7<"$here" 8<"$build" 9<"${images:-/}"
mount -t tmpfs -o mode=755 tmpfs /run
work=/run/zq4842-demo
mkdir -p "$work/service" "$work/varlib" /run/dbus "$work/checkout" "$work/build" "$work/images"
mount --no-canonicalize --bind /proc/self/fd/7 "$work/checkout"
mount --no-canonicalize --bind /proc/self/fd/8 "$work/build"
[[ -z $images ]] || mount --no-canonicalize --bind /proc/self/fd/9 "$work/images"
if [[ -n "${DEMO_ROUND:-}" ]]; then
  : >"$work/round.sh"
  mount --no-canonicalize --bind /proc/self/fd/6 "$work/round.sh"
  DEMO_ROUND=$work/round.sh
fi
exec 6<&- 7<&- 8<&- 9<&-
here=$work/checkout
stage=$work/build/demo-stage
emulator=$work/build/tests/emul/sensor/quorvanta_emulator
mount -t tmpfs -o mode=1777 tmpfs /tmp

# The service's folder with the staged drivers folder (plug-in and the
# library's copy where the plug-in loads it); the daemon stays reachable
# through a bind of the original folder.
mount --bind /usr/lib/biometric-authentication "$work/service"
mount -t tmpfs -o mode=755 tmpfs /usr/lib/biometric-authentication
cp -a "$stage/usr/lib/biometric-authentication/." /usr/lib/biometric-authentication/

# A configuration folder from the service's template, with the plug-in
# registered by the install step's registration (the service's tool).
mkdir -p /etc/biometric-auth
mount -t tmpfs -o mode=755 tmpfs /etc/biometric-auth
cp /usr/share/biometric-auth/biometric-drivers.conf.template /etc/biometric-auth/biometric-drivers.conf
cmake -DFPDEV_REGISTER_DRIVER_NAME=zq4842 \
  -DFPDEV_REGISTER_DRIVER_PATH=/usr/lib/biometric-authentication/drivers/zq4842.so \
  -DFPDEV_REGISTER_CONFIG=/etc/biometric-auth/biometric-drivers.conf \
  -P "$here/cmake/fpdev_register_driver.cmake" | sed 's/^-- /    /'

# An empty feature database folder; the bus's and polkit's folders kept.
world_private_varlib "$work"
set +e

# --- Processes --------------------------------------------------------------------
trap world_stop_all EXIT
trap 'exit 1' TERM INT HUP
world_fail() { die "$1"; }
world_start_bus "$work"
say "    system bus and polkitd up"

emulator_args=(--finger 0 --ready-file "$work/emulator.ready")
pressed_by="synthetic finger 0"
if [[ -n $images ]]; then
  emulator_args+=(--images "$work/images")
  pressed_by="the first finger's images of $images"
fi
"$emulator" "${emulator_args[@]}" >/dev/null 2>"$work/emulator.log" &
emul=$!
world_track "$emul"
emulator_up() {  # ready, or stopped (a refused image folder): then its message
  [[ -s $work/emulator.ready ]] && return 0
  kill -0 "$emul" 2>/dev/null && return 1
  # The emulator names files by the folder's private bind; the user knows
  # the folder they gave.
  local line
  while IFS= read -r line; do
    [[ -z $images ]] || line=${line//"$work/images"/"$images"}
    printf '      emulator | %s\n' "$line"
  done <"$work/emulator.log" >&2
  die "the emulated sensor stopped at start"
}
world_wait_for "the emulated sensor" emulator_up
umockdev_dir=$(sed -n 's/^UMOCKDEV_DIR=//p' "$work/emulator.ready")
say "    emulated sensor 3c5d:4842 (96x96) up, pressed by $pressed_by"

LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR=$umockdev_dir \
  "$work/service/biometric-authenticationd" >"$work/service.log" 2>&1 &
world_track $!
world_wait_for "the service daemon" world_has_owner org.ukui.Biometric
say "    service daemon up with the staged zq4842 plug-in and device library"

if [[ $mode == shell ]]; then
  # shellcheck source=lib/service_shell.sh
  source "$here/scripts/lib/service_shell.sh"
  service_shell "$work" "$emul" "$pressed_by"
  # The shell may have searched: the service's second answer is allowed.
  world_log_criticals "$work/service.log" "$world_search_answered_twice" >"$work/criticals" ||
    { sed 's/^/      service | /' "$work/criticals" >&2; die "the service daemon logged GLib CRITICAL lines (above)"; }
  exit 0
fi

# --- The round -------------------------------------------------------------------
steps=(list enrol verify-same verify-other identify feature-list damaged-row clean daemon-log)
declare -A result
for s in "${steps[@]}"; do result[$s]="not run"; done
client() {  # client ARGS...: runs the service's client; output in $work/client.out
  timeout 45 biometric-auth-client "$@" >"$work/client.out" 2>&1
  local rc=$?
  sed 's/^/      | /' "$work/client.out" | tail -12
  return $rc
}
finger() {  # finger SIGNAL NAME: moves the emulator to the next/previous finger
  kill -"$1" "$emul"
  sleep 0.3
  say "    (the emulator now presses $2)"
}
summary() {
  local s rc=0
  say ""
  local ms=$((($(date +%s%N) - started) / 1000000))
  say "==> Summary (the round took $((ms / 1000)).$((ms % 1000 / 100)) s)"
  for s in "${steps[@]}"; do
    printf '    %-13s %s\n' "$s" "${result[$s]}"
    [[ ${result[$s]} == ok* ]] || rc=1
  done
  return $rc
}
daemon_log_step() {  # daemon_log_step [ALLOWED...]: the daemon-log step's result
  local criticals
  if criticals=$(world_log_criticals "$work/service.log" "$@"); then
    result[daemon-log]="ok: no GLib CRITICAL line"
  else
    result[daemon-log]="FAILED: GLib CRITICAL lines"
    sed 's/^/      service | /' <<<"$criticals"
  fi
}
stop_round() {  # stop_round WHY: the rest cannot run
  say ""
  say "run-demo: FAILED: $*" >&2
  summary
  exit 1
}

# Another round in this world (the test suite's unplug round): a script
# sourced here, with the helpers above, $emul and $work.
if [[ -n "${DEMO_ROUND:-}" ]]; then
  # shellcheck source=/dev/null
  source "$DEMO_ROUND"
  exit $?
fi

say "==> [1/8] list the devices"
client get-device-list -a
drvid=$(awk -F'|' '$4 ~ /zq4842/ { gsub(/ /, "", $3); print $3 }' "$work/client.out" | head -1)
if [[ -n "$drvid" ]]; then
  result[list]="ok: zq4842 is device $drvid"
else
  result[list]="FAILED: zq4842 not listed"
  tail -20 "$work/service.log" | sed 's/^/      service | /'
  stop_round "the service does not list the zq4842 device (it could not open it; service log above)"
fi

say "==> [2/8] enrol finger 0 as \"demo-finger\""
client enroll -d "$drvid" -n demo-finger
rc=$?
stored=$(sqlite3 /var/lib/biometric-auth/biometric.db \
  "SELECT count(*) FROM EIGEN_INFO WHERE Driver = 'zq4842';" 2>/dev/null)
if [[ $rc -eq 0 && "${stored:-0}" -ge 1 ]]; then
  result[enrol]="ok: stored"
else
  result[enrol]="FAILED (client exit $rc, ${stored:-0} features stored)"
  tail -25 "$work/service.log" | sed 's/^/      service | /'
  stop_round "enrolment failed (service log above)"
fi
index=$(sqlite3 /var/lib/biometric-auth/biometric.db \
  "SELECT EigenIndex FROM EIGEN_INFO WHERE Driver = 'zq4842' AND EigenIndexName = 'demo-finger';")

say "==> [3/8] verify a new press of finger 0"
client verify -d "$drvid" -i "$index"
rc=$?
if [[ $rc -eq 0 ]]; then result[verify-same]="ok: match"; else result[verify-same]="FAILED: no match (exit $rc)"; fi

say "==> [4/8] verify another finger"
finger USR1 "finger 1"
client verify -d "$drvid" -i "$index"
rc=$?
if [[ $rc -eq 255 ]]; then result[verify-other]="ok: no match"; else result[verify-other]="FAILED: exit $rc, expected no match"; fi
finger USR2 "finger 0"

say "==> [5/8] identify finger 0 (the service's Identify method)"
reply=$(timeout 45 dbus-send --system --print-reply --reply-timeout=40000 \
  --dest=org.ukui.Biometric /org/ukui/Biometric org.ukui.Biometric.Identify \
  "int32:$drvid" int32:0 int32:0 int32:-1 2>&1)
sed 's/^/      | /' <<<"$reply"
got=$(awk '/int32/ { printf "%s%s", s, $2; s=" " }' <<<"$reply")
if [[ $got == "0 0" ]]; then result[identify]="ok: user 0"; else result[identify]="FAILED: [$got], expected result 0 for user 0"; fi

say "==> [6/8] list the stored features"
client get-feature-list -d "$drvid"
rc=$?
if [[ $rc -eq 1 ]]; then result[feature-list]="ok: 1 feature"; else result[feature-list]="FAILED: $rc features, expected 1"; fi

say "==> [7/8] verify and identify beside a damaged stored print of the finger"
# A second sample of the enrolled finger, a copy of the stored print with
# eight bytes of its first sub-template's keypoints changed after it was
# stored, so that its CRC no longer fits: the device library cannot load it,
# skips it, and the good sample still answers. A match replaces the finger's
# samples with the updated one, so the damaged row is stored again before
# the identification.
db=/var/lib/biometric-auth/biometric.db
damaged_row() {
  local blob=$work/damaged.print
  sqlite3 "$db" "SELECT EigenData FROM EIGEN_INFO WHERE Driver = 'zq4842' AND
                 EigenIndex = $index AND SampleNo = 1;" | base64 -d >"$blob" || return 1
  # The print head (10 bytes), the item length (4), the template head (7),
  # the finger head (216) and the first record's head (489) come first.
  printf '\xff\xff\xff\xff\xff\xff\xff\xff' |
    dd of="$blob" bs=1 seek=726 conv=notrunc status=none || return 1
  # The text is far longer than one command argument may be.
  sqlite3 "$db" <<EOF
INSERT INTO EIGEN_INFO (UID, UUID, BioType, Driver, EigenIndex, EigenIndexName, SampleNo, EigenData)
  SELECT UID, UUID, BioType, Driver, EigenIndex, EigenIndexName, 2, '$(base64 -w0 "$blob")'
  FROM EIGEN_INFO WHERE Driver = 'zq4842' AND EigenIndex = $index AND SampleNo = 1;
EOF
}
rows_of_finger() {
  sqlite3 "$db" "SELECT count(*) FROM EIGEN_INFO WHERE Driver = 'zq4842' AND EigenIndex = $index;"
}
damaged=""
if damaged_row && [[ $(rows_of_finger) -eq 2 ]]; then
  client verify -d "$drvid" -i "$index"
  rc=$?
  [[ $rc -eq 0 ]] || damaged+=" verify: no match (exit $rc);"
else
  damaged+=" the damaged row could not be stored;"
fi
if [[ $(rows_of_finger) -eq 2 ]] || { damaged_row && [[ $(rows_of_finger) -eq 2 ]]; }; then
  reply=$(timeout 45 dbus-send --system --print-reply --reply-timeout=40000 \
    --dest=org.ukui.Biometric /org/ukui/Biometric org.ukui.Biometric.Identify \
    "int32:$drvid" int32:0 int32:0 int32:-1 2>&1)
  sed 's/^/      | /' <<<"$reply"
  got=$(awk '/int32/ { printf "%s%s", s, $2; s=" " }' <<<"$reply")
  [[ $got == "0 0" ]] || damaged+=" identify: [$got], expected result 0 for user 0;"
else
  damaged+=" the damaged row could not be stored again;"
fi
if [[ -z $damaged ]]; then
  result[damaged-row]="ok: verify and identify match"
else
  result[damaged-row]="FAILED:$damaged"
  tail -25 "$work/service.log" | sed 's/^/      service | /'
fi

say "==> [8/8] clean up"
client clean -d "$drvid" -i -1
rc=$?
left=$(sqlite3 /var/lib/biometric-auth/biometric.db \
  "SELECT count(*) FROM EIGEN_INFO WHERE Driver = 'zq4842';" 2>/dev/null)
if [[ $rc -eq 0 && "${left:-1}" -eq 0 ]]; then result[clean]="ok: nothing left"; else result[clean]="FAILED (exit $rc, ${left:-?} left)"; fi
daemon_log_step
if [[ -n $images ]]; then
  say "    (the emulator pressed $(grep -cE 'press [0-9]+ \(.*\.pgm\)$' "$work/emulator.log") image files of $images)"
fi

summary

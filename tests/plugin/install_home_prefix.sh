#!/usr/bin/env bash
# cmake --install with a prefix of the user's own (a home folder): the
# library, its header and pkg-config file go under the prefix and nothing
# anywhere else (run as root, /usr, /etc, /var and /opt are read-only for the
# install, so a write there fails it); the service's parts are left out with
# a message. The README's C program then builds through pkg-config against
# the prefix and enrols a finger on the emulated sensor.
#
#   install_home_prefix.sh BUILD_DIR EMULATOR README
set -uo pipefail
build=$1 emulator=$2 readme=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/fpdev-home.XXXXXX") || exit 1
prefix=$work/home/.local
emul=
finish() {
  [[ -n $emul ]] && { kill "$emul" 2>/dev/null; wait "$emul" 2>/dev/null; }
  rm -rf "$work"
}
trap finish EXIT
# shellcheck source=../support/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/check.sh"

install_cmd=(cmake --install "$build" --prefix "$prefix")
if [[ $(id -u) -eq 0 ]] && unshare --mount --propagation private true 2>/dev/null; then
  # shellcheck disable=SC2016
  unshare --mount --propagation private bash -c '
    for d in /usr /etc /var /opt; do
      [[ -d $d ]] || continue
      mount --bind "$d" "$d" && mount -o remount,bind,ro "$d" || exit 90
    done
    exec "$@"' install "${install_cmd[@]}" >"$work/install.log" 2>&1
  rc=$?
  echo "(the install ran with /usr, /etc, /var and /opt read-only)"
else
  "${install_cmd[@]}" >"$work/install.log" 2>&1
  rc=$?
fi
sed 's/^/    | /' "$work/install.log"
check "cmake --install --prefix HOME: exit code" 0 "$rc"
check "the service's parts are left out, with the command that installs them" 1 \
  "$(grep -c "left out.*cmake --install $build --prefix /usr --component service" "$work/install.log")"
outside=$(sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$work/install.log" | grep -v "^$prefix/")
check "nothing is installed outside the prefix" "" "$outside"

echo "files under the prefix:"
(cd "$prefix" && find . ! -type d | sort | sed 's/^/    /')
libdir=$(cd "$prefix" && find . -name 'libfpdev_quorvanta.so.0' -printf '%h\n' | head -1)
libdir=${libdir#./}
check "the files under the prefix" \
  "include/fpdev_quorvanta/fpdev.h $libdir/libfpdev_quorvanta.so $libdir/libfpdev_quorvanta.so.0 $libdir/libfpdev_quorvanta.so.0.1.0 $libdir/pkgconfig/fpdev_quorvanta.pc" \
  "$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort | xargs)"

# The README's program, as a user would copy it.
sed -n '/^```c$/,/^```$/p' "$readme" | sed '1d;$d' >"$work/enrol.c"
check "the README has the C program" 1 "$(grep -c 'fp_enroll_finger_img' "$work/enrol.c")"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
flags=$(pkg-config --cflags --libs fpdev_quorvanta | xargs)
check "pkg-config flags" "-I$prefix/include -L$prefix/$libdir -lfpdev_quorvanta" "$flags"
# The emulated sensor's preload library is linked in ahead of the rest (as
# LD_PRELOAD would put it, and as a sanitizer build needs); PROBE_CFLAGS are
# the sanitizer flags of a sanitizer build of the library.
# shellcheck disable=SC2086
cc ${PROBE_CFLAGS:-} -o "$work/enrol" -Wl,--push-state,--no-as-needed -lumockdev-preload \
  -Wl,--pop-state "$work/enrol.c" $flags -Wl,-rpath,"$prefix/$libdir" 2>&1
check "the README's program builds through pkg-config" 0 $?

"$emulator" --finger 0 --press-gap 20 --ready-file "$work/ready" >/dev/null 2>"$work/emulator.log" &
emul=$!
for _ in $(seq 300); do [[ -s $work/ready ]] && break; sleep 0.1; done
dir=$(sed -n 's/^UMOCKDEV_DIR=//p' "$work/ready" 2>/dev/null)
UMOCKDEV_DIR=$dir LIBFPDEV_DEBUG=1 timeout 60 "$work/enrol" >"$work/enrol.out" 2>"$work/enrol.err"
rc=$?
sed 's/^/    | /' "$work/enrol.out"
check "it enrols a finger on the emulated sensor" "0 enrol: complete" "$rc $(cat "$work/enrol.out")"
((rc == 0)) || tail -20 "$work/enrol.err"
check "it ran with the library of the prefix" 1 \
  "$(ldd "$work/enrol" | grep -c "libfpdev_quorvanta.so.0 => $prefix/$libdir/")"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

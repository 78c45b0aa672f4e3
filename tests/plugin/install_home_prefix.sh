#!/usr/bin/env bash
# cmake --install with a prefix of the user's own (a home folder): the
# library, its header and pkg-config file go under the prefix and nothing
# anywhere else (run as root, /usr, /etc, /var and /opt are read-only for the
# install, so a write there fails it); the service's parts are left out with
# a message. The README's C program then builds and runs as the README says:
# through pkg-config against the prefix, finding the library at run time,
# and enrols a finger on the emulated sensor.
#
#   install_home_prefix.sh BUILD_DIR EMULATOR README
set -uo pipefail
build=$1 emulator=$2 readme=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/fpdev-home.XXXXXX") || exit 1
prefix=$work/home/.local
group=
finish() {
  [[ -z $group ]] || kill -- "-$group" 2>/dev/null
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

# The README's program and the commands that build and run it, as a user
# copies them: in a folder of their own, with HOME the home of the prefix
# above and no LD_LIBRARY_PATH. Of the run on the emulated sensor, the
# configure and build of the emulator's tree are left out (this tree has it
# built) and the emulator is the one of this tree.
# readme_block REGEX: the README's sh block that has a line matching REGEX.
readme_block() {
  awk -v re="$1" '/^```sh$/ { in_block = 1; block = ""; hit = 0; next }
    in_block && /^```$/ { in_block = 0; if (hit) { printf "%s", block; exit } next }
    in_block { block = block $0 "\n"; if ($0 ~ re) hit = 1 }' "$readme"
}
mkdir -p "$work/prog"
sed -n '/^```c$/,/^```$/p' "$readme" | sed '1d;$d' >"$work/prog/enrol.c"
check "the README has the C program" 1 "$(grep -c 'fp_enroll_finger_img' "$work/prog/enrol.c")"
build_block=$(readme_block '^cc .*enrol')
run_block=$(readme_block 'quorvanta_emulator .*--ready-file' | grep -v '^cmake ')
check "the README says how to build and run it" "yes yes" \
  "$([[ $build_block == *pkg-config* ]] && echo yes) $([[ $run_block == *./enrol* ]] && echo yes)"
run_block=${run_block//build\/emul\/tests\/emul\/sensor\/quorvanta_emulator/$emulator}
printf '%s\n' "$build_block" "$run_block" | sed 's/^/    $ /'
# A sanitizer build of the library needs its runtime in the program
# (PROBE_CFLAGS), and tolerates the emulator's preload library before it.
prelude='cc() { command cc ${PROBE_CFLAGS:-} "$@"; }'
[[ -z ${PROBE_CFLAGS:-} ]] || export ASAN_OPTIONS=verify_asan_link_order=0
# In a process group of its own, which the end of the test stops whole (the
# emulator the block starts included) should the block not finish.
(cd "$work/prog" && exec env -u LD_LIBRARY_PATH -u PKG_CONFIG_PATH HOME="$work/home" \
  setsid timeout 90 bash -c "$prelude"$'\n'"$build_block"$'\n'"$run_block") \
  >"$work/prog.out" 2>"$work/prog.err" &
group=$!
wait "$group"
sed 's/^/    | /' "$work/prog.out"
check "the README's program enrols a finger on the emulated sensor" 1 \
  "$(grep -cx 'enrol: complete' "$work/prog.out")"
grep -qx 'enrol: complete' "$work/prog.out" || tail -20 "$work/prog.err"
check "it runs with the library of the prefix, found through its rpath" 1 \
  "$(env -u LD_LIBRARY_PATH ldd "$work/prog/enrol" 2>/dev/null | grep -c "libfpdev_quorvanta.so.0 => $prefix/$libdir/")"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

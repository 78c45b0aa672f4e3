#!/usr/bin/env bash
# cmake --install into a staging folder (DESTDIR): the device library with
# its SONAME, development link, header and pkg-config file, the plug-in's copy
# of the library, the plug-in in the service's drivers folder and the udev
# rule; the service's configuration is not touched when staging.
#
#   install_staging.sh BUILD_DIR DRIVERS_DIR
set -uo pipefail
build=$1 drivers=$2
stage=$(mktemp -d "${TMPDIR:-/tmp}/fpdev-stage.XXXXXX") || exit 1
trap 'rm -rf "$stage"' EXIT
# shellcheck source=../support/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/check.sh"
config=/etc/biometric-auth/biometric-drivers.conf
config_before=$(cat "$config" 2>/dev/null | sha256sum)

DESTDIR=$stage cmake --install "$build" --prefix /usr >"$stage.log" 2>&1
check "cmake --install exit code" 0 $?
sed 's/^/    | /' "$stage.log"
check "staging says the driver is to be registered on the target" 1 \
  "$(grep -c "biometric-config-tool add-driver zq4842 $drivers/zq4842.so" "$stage.log")"
rm -f "$stage.log"
check "the service configuration is untouched" "$config_before" \
  "$(cat "$config" 2>/dev/null | sha256sum)"

libdir=$(cd "$stage/usr" && find . -name 'libfpdev_quorvanta.so.0' -printf '%h\n' | head -1)
libdir=${libdir#./}
[[ -n "$libdir" ]] || { echo "FAIL: libfpdev_quorvanta.so.0 not installed"; exit 1; }
lib=$stage/usr/$libdir
soname() { readelf -d "$1" 2>/dev/null | sed -n 's/.*(SONAME).*\[\(.*\)\].*/\1/p'; }
check "SONAME of libfpdev_quorvanta.so.0" libfpdev_quorvanta.so.0 "$(soname "$lib/libfpdev_quorvanta.so.0")"
check "development link" libfpdev_quorvanta.so.0 "$(readlink "$lib/libfpdev_quorvanta.so")"
check "header" yes "$([[ -f $stage/usr/include/fpdev_quorvanta/fpdev.h ]] && echo yes)"
extra=$stage/usr/lib/biometric-authentication/drivers/extra/zq4842-extra.so
check "the plug-in's copy is a regular file" yes "$([[ -f $extra && ! -L $extra ]] && echo yes)"
check "the plug-in's copy is the library" libfpdev_quorvanta.so.0 "$(soname "$extra")"
check "the plug-in in the drivers folder" yes "$([[ -f $stage$drivers/zq4842.so ]] && echo yes)"
check "the plug-in needs no device library at link time" "" \
  "$(readelf -d "$stage$drivers/zq4842.so" | grep NEEDED | grep fpdev)"

rules=$stage/usr/lib/udev/rules.d/60-fpdev-quorvanta.rules
check "udev rule installed" yes "$([[ -f $rules ]] && echo yes)"
ids() { sed -n 's/.*idVendor}=="\([0-9a-f]*\)".*idProduct}=="\([0-9a-f]*\)".*/\1:\2/p' "$rules" | sort | xargs; }
check "udev rule: for root alone, no access for the logged-in user" "0660 0" \
  "$(grep -o 'MODE="[0-9]*"' "$rules" | sort -u | tr -dc '0-9') $(grep -c uaccess "$rules")"
check "udev rule: every id of the drivers' tables, once" \
  "138a:0050 3c5d:3b11 3c5d:3b12 3c5d:3b13 3c5d:3b14 3c5d:3b15 3c5d:3b16 3c5d:3b17 3c5d:3b18 3c5d:3b19 3c5d:3b1a 3c5d:4841 3c5d:4842" \
  "$(ids)"

# The pkg-config file builds and links a program against the staged files.
pc=$stage/usr/$libdir/pkgconfig/fpdev_quorvanta.pc
check "pkg-config file" yes "$([[ -f $pc ]] && echo yes)"
export PKG_CONFIG_PATH=$stage/usr/$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$stage
flags=$(pkg-config --cflags --libs fpdev_quorvanta | xargs)
check "pkg-config flags" "-I$stage/usr/include -L$stage/usr/$libdir -lfpdev_quorvanta" "$flags"
cat >"$stage/probe.c" <<'PROBE'
#include <fpdev_quorvanta/fpdev.h>
int main(void) { return fp_init() == 0 ? (fp_exit(), 0) : 1; }
PROBE
# PROBE_CFLAGS: the sanitizer flags of a sanitizer build of the library.
cc ${PROBE_CFLAGS:-} -o "$stage/probe" "$stage/probe.c" $flags -Wl,-rpath,"$lib" 2>&1
check "a program builds against the staged library" 0 $?
"$stage/probe"
check "and runs with it" 0 $?

# The registration step leaves a configuration that has the group already
# as it is (it would otherwise go through the service's tool).
printf '[zq4842]\nEnable=false\nDriver=/elsewhere/zq4842.so\n' >"$stage/conf"
cmake -DFPDEV_REGISTER_DRIVER_NAME=zq4842 -DFPDEV_REGISTER_DRIVER_PATH="$drivers/zq4842.so" \
  -DFPDEV_REGISTER_CONFIG="$stage/conf" -P "$(dirname "$0")/../../cmake/fpdev_register_driver.cmake" \
  >"$stage/register.log" 2>&1
check "registration: exit code" 0 $?
check "registration: a group already there is left alone" 1 "$(grep -c "already in" "$stage/register.log")"
check "registration: the file is unchanged" "$(printf '[zq4842]\nEnable=false\nDriver=/elsewhere/zq4842.so')" \
  "$(cat "$stage/conf")"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

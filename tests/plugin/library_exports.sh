#!/usr/bin/env bash
# The device library's dynamic symbols: only the interfaces, fp_* (with
# fpdev_get_drivers), quorv_* and Zq*; the units' own helpers, which the
# component archives do define, stay inside.
#
#   library_exports.sh LIBRARY MINUTIAE_ARCHIVE
set -uo pipefail
lib=$1 archive=$2
failures=0
check() {  # check NAME CONDITION-RESULT(0 ok)
  if [[ $2 -eq 0 ]]; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

exports=$(nm -D --defined-only "$lib" | awk '{ print $3 }') || exit 1
others=$(grep -vE '^(fp_|fpdev_|quorv_|Zq)' <<<"$exports")
[[ -z "$others" ]]
check "only fp_*, fpdev_*, quorv_* and Zq* are exported" $?
[[ -z "$others" ]] || sed 's/^/    | /' <<<"$others" | head -20

for name in fp_init fp_discover_devs fp_dev_open fp_async_enroll_start fp_handle_events_timeout \
            fp_template_data_import fp_get_module_type fp_image_capture fpdev_get_drivers \
            quorv_ClearNegativeTempalteBuf quorv_InitAlgTplData_frr_far \
            quorv_SaveAlgTplData_frr_far quorv_NonLinearStretchU8; do
  grep -qx "$name" <<<"$exports"
  check "$name exported" $?
done
for prefix in quorv_ Zq; do
  (($(grep -c "^$prefix" <<<"$exports") > 10))
  check "$prefix functions exported" $?
done

# The minutiae detector's generic helper names exist in its archive but not
# in the library's dynamic symbols.
archive_symbols=$(nm --defined-only "$archive" 2>/dev/null)
for name in distance nearest_int line_points; do
  grep -qE " T $name\$" <<<"$archive_symbols"
  check "$name is a function of the detector" $?
  ! grep -qx "$name" <<<"$exports"
  check "$name is hidden" $?
done
! grep -q '^_Z' <<<"$exports"
check "no C++ symbols exported" $?

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

#!/usr/bin/env bash
# world_log_criticals on small daemon logs: which GLib CRITICAL lines it
# reports, and that an allowed message is allowed only by its exact text.
#
#   service_log_test.sh SOURCE_DIR
set -uo pipefail
src=$1
# shellcheck source=../../scripts/lib/service_world.sh
source "$src/scripts/lib/service_world.sh"
# shellcheck source=../support/check.sh
source "$src/tests/support/check.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zq-service-log.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

twice="(process:19914): GLib-GIO-CRITICAL **: 13:26:34.312: $world_search_answered_twice"
other="(process:19914): GLib-GIO-CRITICAL **: 13:26:35.001: g_dbus_connection_emit_signal: assertion 'G_IS_DBUS_CONNECTION (connection)' failed"
plain="** (process:7): CRITICAL **: 13:26:36.000: something went wrong"
untimed="(process:7): GLib-CRITICAL **: g_hash_table_lookup: assertion 'hash_table != NULL' failed"
longer="(process:19914): GLib-GIO-CRITICAL **: 13:26:37.000: $world_search_answered_twice twice"
quiet=("[ INFO] [community_ops_search] [ 266]:" "fp:debug [fp_exit] " "not CRITICAL at all")
allow=$world_search_answered_twice

# case NAME ALLOWED WANT_STATUS WANT_OUTPUT LOG_LINE...: the log of the
# LOG_LINEs checked with ALLOWED (none when empty).
case_() {
  local name=$1 allowed=$2 want_status=$3 want_out=$4 out status
  shift 4
  printf '%s\n' "$@" >"$work/service.log"
  out=$(world_log_criticals "$work/service.log" ${allowed:+"$allowed"})
  status=$?
  check "$name: status" "$want_status" "$status"
  check "$name: lines reported" "$want_out" "$out"
}
case_ "no critical line" "" 0 "" "${quiet[@]}"
case_ "the search's second answer, not allowed" "" 1 "$twice" "${quiet[@]}" "$twice"
case_ "the search's second answer, allowed" "$allow" 0 "" "$twice" "${quiet[@]}" "$twice"
case_ "another GIO critical beside the allowed one" "$allow" 1 "$other" "$twice" "$other"
case_ "the allowed text with more after it" "$allow" 1 "$longer" "$longer"
case_ "a critical without a domain" "" 1 "$plain" "$plain"
case_ "a critical without a time stamp" "" 1 "$untimed" "$untimed"

world_log_criticals "$work/no-such.log" >/dev/null
check "a missing log is an error" 1 $?

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
((failures == 0))

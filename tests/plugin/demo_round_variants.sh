#!/usr/bin/env bash
# The README's run command in the places a new user meets it, on the test
# build (nothing is rebuilt):
#
#   demo_round_variants.sh clone SOURCE_DIR BUILD_DIR
#       from a fresh clone under /tmp, the build folder reached under the
#       clone (build/demo, a link to BUILD_DIR): both lie under /tmp, which
#       the round replaces with its own; then a round script of its own
#       (DEMO_ROUND) under /tmp;
#   demo_round_variants.sh images SOURCE_DIR BUILD_DIR CORPUS_TOOL
#       with --images on a folder of the accuracy corpus tool's PGM files
#       (under /tmp as well), then on a folder with an image of another
#       size, which stops it at the start with a message naming that file.
#
# Exits as scripts/run-demo.sh does (77, DEMO_SKIP_CODE, where it cannot run).
set -uo pipefail
mode=$1 src=$2 build=$3
skip=${DEMO_SKIP_CODE:-77}
[[ -z "${DEMO_SKIP_REASON:-}" ]] || { echo "SKIP: $DEMO_SKIP_REASON"; exit "$skip"; }
work=$(mktemp -d /tmp/zq-demo-round.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT

case $mode in
  clone)
    command -v git >/dev/null && git -C "$src" rev-parse --git-dir >/dev/null 2>&1 ||
      { echo "SKIP: the source folder is not a git checkout"; exit "$skip"; }
    git clone -q "$src" "$work/quorvanta" || exit 1
    mkdir -p "$work/quorvanta/build"
    ln -s "$build" "$work/quorvanta/build/demo"
    echo "checkout: $work/quorvanta ($(git -C "$work/quorvanta" log --oneline -1))"
    (cd "$work/quorvanta" && scripts/run-demo.sh --no-setup) || exit
    # A round script of its own (DEMO_ROUND, as the unplug round is given)
    # under /tmp too is still read once the round has replaced /tmp.
    echo 'say "==> the round script ran"; exit 0' >"$work/round.sh"
    (cd "$work/quorvanta" && DEMO_ROUND=$work/round.sh scripts/run-demo.sh --no-setup) |
      tee "$work/round.log"
    rc=${PIPESTATUS[0]}
    ((rc == 0)) || exit "$rc"
    grep -q '^==> the round script ran$' "$work/round.log" ||
      { echo "FAIL: the round script given in DEMO_ROUND did not run"; exit 1; }
    ;;
  images)
    tool=$4
    # Two fingers of 14 impressions each at the sensor's size: enough for the
    # enrolment and a new press to verify.
    "$tool" --out "$work/corpus" --fingers 2 --impressions 14 --size 96x96 --seed 7 \
      --max-rotation 10 --max-shift 8 >/dev/null || exit 1
    echo "corpus: $(find "$work/corpus" -name '*.pgm' | wc -l) PGM files"
    "$src/scripts/run-demo.sh" --no-setup --build-dir "$build" --images "$work/corpus" |
      tee "$work/round.log"
    rc=${PIPESTATUS[0]}
    ((rc == 0)) || exit "$rc"
    grep -qE "the emulator pressed [1-9][0-9]* image files of $work/corpus" "$work/round.log" ||
      { echo "FAIL: the round did not press the folder's images"; exit 1; }
    # A folder with an image of another size: the round stops at the start,
    # naming the file in the folder given, not in the round's private bind.
    mkdir "$work/small"
    { printf 'P5\n64 64\n255\n'; head -c 4096 /dev/zero; } >"$work/small/0_0.pgm"
    "$src/scripts/run-demo.sh" --no-setup --build-dir "$build" --images "$work/small" \
      >"$work/small.log" 2>&1
    rc=$?
    sed 's/^/    | /' "$work/small.log"
    ((rc != 0)) || { echo "FAIL: the round ran on an image of the wrong size"; exit 1; }
    grep -q "emulator | .*$work/small/0_0.pgm: 64x64, not the sensor's 96x96" "$work/small.log" ||
      { echo "FAIL: the message does not name $work/small/0_0.pgm"; exit 1; }
    ! grep -q /run/zq4842-demo "$work/small.log" ||
      { echo "FAIL: the message names the round's private folder"; exit 1; }
    ;;
  *)
    echo "usage: demo_round_variants.sh clone|images SOURCE_DIR BUILD_DIR [CORPUS_TOOL]" >&2
    exit 2
    ;;
esac

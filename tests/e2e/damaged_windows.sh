#!/bin/bash
# The packed example for Windows, damaged a few dozen ways (cut inside the PE headers, the
# resource section, the appended archive and the configuration; bytes changed in the resource
# directory, resource 128, a nested jar, the appended archive and the configuration), each run
# under wine against the test-double VM with a time limit. Every copy must end by itself: with
# 0 after main ran, or with a launch error code and its message box, or refused by the
# system's loader; never with an unhandled exception, and never still running at the limit.
# Under qemu-user (a kernel that cannot start 32-bit programs) a memory fault reaches wine as
# "unexpected trap -1", which it raises as an illegal instruction that no access-violation
# guard catches: a copy that fails so is skipped and counted, and the test then skips (77)
# unless another copy failed. Without emulation every copy is judged.
# Usage: damaged_windows.sh TARGET ZORPACK STUB.exe SUPPORT_JAR HELLO_JAR FAKE_JVM.dll READER.exe WINEPREFIX
set -uo pipefail
target=$1 zorpack=$2 stub=$3 support=$4 hello=$5 fake_jvm=$6 reader=$7
export WINEPREFIX=$8
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run
for f in "$zorpack" "$stub" "$support" "$hello" "$fake_jvm" "$reader"; do
    if [ ! -f "$f" ]; then
        # zorpack comes from the linux preset; scripts/test builds every preset.
        [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && { echo "FAIL: $f is not built"; exit 1; }
        echo "SKIP: $f is not built"
        exit 77
    fi
done
[ -n "${DISPLAY:-}" ] || { echo "FAIL: message boxes need DISPLAY (an Xvfb)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }

# The example with a nested jar stored whole, so that its bytes can be hit in place.
mkdir -p "$work/src/lib" "$work/extra"
echo "extra resource" >"$work/extra/extra.txt"
(cd "$work/extra" && zip -q -X ../src/lib/extra.jar extra.txt)
cp "$hello" "$work/app.jar"
(cd "$work/src" && zip -q -X -0 ../app.jar lib/extra.jar)
"$zorpack" --target "$target" --stub "$stub" --support "$support" --main-class hello.Main \
    --lib "$(dirname "$hello")/greetings.jar" --set jre_order=c --set "jvmdll=$(winpath "$fake_jvm")" \
    --app "$work/app.jar" -o "$work/good.exe" || { echo "FAIL: zorpack"; exit 1; }

# The test double runs main and, through the program's natives, reads a class and a resource
# of resource 128 and a resource of the nested jar: damage anywhere there is read.
export ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=hello/Main
export ZOR_FAKE_JVM_NATIVES='hello.Main|extra.txt|zor:lib/extra.jar!extra.txt'
emulated=""
if [ "$target" = win32 ] && "$here/../../scripts/with-i386" --emulated; then
    emulated=1
    export WINEDEBUG=-all,err+seh # where the emulated trap shows
fi

# run DIR: runs DIR/app.exe through the reader, which answers its message boxes and debugs it;
# leaves DIR/run (the reader's report), DIR/err (wine's standard error), DIR/vm.log and
# DIR/rc (the reader's exit code).
run() {
    local dir=$1
    (cd "$dir" && ZOR_FAKE_JVM_LOG=$(winpath "$dir/vm.log") ZOR_WINE_TIMEOUT=60 \
        "$wine_run" "$reader" --run 20000 "$(winpath "$dir/app.exe")" one >run 2>err)
    echo $? >"$dir/rc"
}

mkdir "$work/good"
cp "$work/good.exe" "$work/good/app.exe"
run "$work/good"
log=$(tr -d '\r' <"$work/good/vm.log" 2>/dev/null)
for line in "findClass hello.Main -> defined" "loadResourceData zor:lib/extra.jar!extra.txt -> extra resource\\x0a" \
    "main array"; do
    grep -Fxq "$line" <<<"$log" ||
        { echo "FAIL: the intact program: no '$line' in its VM's log: $(cat "$work/good/run") $log"; exit 1; }
done
grep -q '^findResources extra.txt -> \[.*lib\\extra.jar!extra.txt' <<<"$log" ||
    { echo "FAIL: the intact program: the nested jar was not searched: $log"; exit 1; }

# ---- the damaged copies ----
. "$here/damage.sh"
regions=$("$here/damaged_regions.pl" "$work/good.exe" lib/extra.jar) || { echo "FAIL: regions"; exit 1; }
jobs=$(damage_jobs "$regions" 15 "cut pe-headers 3" "cut resource-section 5" "cut appended 4" \
    "cut configuration 3" "flip appended 6" "flip configuration 6" "flip nested 6" \
    "flip resource-block 6" "flip resource128 8") || { echo "FAIL: jobs"; exit 1; }
count=$(wc -l <<<"$jobs")

# One damaged copy: made, run, judged; prints "OUTCOME KIND AT XOR" where OUTCOME is ok-main,
# box-CODE, refused, skipped-emulated-trap, or FAIL-reason.
export work wine_run reader emulated
export -f run winpath damage_copy
judge_one() {
    local kind=$1 at=$2 value=${3:-0}
    local dir
    dir=$(mktemp -d "$work/run.XXXXXX")
    damage_copy "$work/good.exe" "$dir/app.exe" "$kind" "$at" "$value"
    run "$dir"
    local rc report code outcome
    rc=$(cat "$dir/rc")
    report=$(tr -d '\r' <"$dir/run")
    code=$(sed -n 's/^exit //p' <<<"$report")
    if grep -Eq 'Unhandled|page fault' "$dir/err" || grep -q '^unhandled exception' <<<"$report"; then
        outcome="FAIL-crashed:$(tr '\n\r' '  ' <<<"$report$(cat "$dir/err")")"
    elif [ "$rc" -eq 2 ]; then
        outcome=FAIL-hang
    elif [ "$rc" -eq 3 ]; then
        outcome=refused # the system's loader would not start it, and said why
    elif [ "$rc" -ne 0 ] || [ -z "$code" ]; then
        outcome="FAIL-no-end-reported:rc=$rc:$(tr '\n' ' ' <<<"$report")"
    elif [ "$code" -eq 0 ]; then
        if grep -q '^main array' "$dir/vm.log" 2>/dev/null; then outcome=ok-main; else outcome=FAIL-0-without-main; fi
    elif [ "$code" -ge 3221225472 ]; then
        outcome="FAIL-crashed:exit-$code"
    elif grep -q '^caption=' <<<"$report"; then
        outcome="box-$code"
    else
        outcome="FAIL-exit-$code-without-a-box"
    fi
    if [ -n "$emulated" ] && [[ "$outcome" == FAIL-* ]] && grep -Eq 'unexpected trap -1($|[^0-9])' "$dir/err"; then
        outcome="skipped-emulated-trap"
    fi
    echo "$outcome $kind $at $value"
    rm -rf "$dir"
}
export -f judge_one
results=$(xargs -P 2 -L 1 bash -c 'judge_one "$@"' _ <<<"$jobs")
while read -r outcome kind at value; do
    [[ "$outcome" == FAIL-* ]] && fail "$kind $at $value: ${outcome#FAIL-}"
done <<<"$results"
echo "$count damaged copies run; outcomes: $(cut -d' ' -f1 <<<"$results" | sed 's/:.*//' | sort | uniq -c | tr -s ' \n' ' ')"
[ "$(wc -l <<<"$results")" -eq "$count" ] || fail "$(wc -l <<<"$results") results for $count copies"

skipped=$(grep -c '^skipped-emulated-trap ' <<<"$results")
[ "$failures" -eq 0 ] || exit 1
if [ "$skipped" -gt 0 ]; then
    echo "SKIP: $skipped of $count damaged copies not judged: under qemu-user their fault reached wine as \"unexpected trap -1\" ($(sed -n 's/^skipped-emulated-trap //p' <<<"$results" | paste -sd,)); every other copy ended by itself"
    exit 77
fi
echo "$target: every damaged copy ended by itself"

#!/bin/bash
# A packed example, damaged two hundred ways (cut at many lengths; bytes changed in the
# resource block, resource 128, a nested jar, the appended archive and the configuration):
# every copy must end by itself with an exit code, and say something, never die of a signal
# or hang. Also runs the intact program from overlong folders and with huge configuration
# values. Usage: damaged_executables.sh ZORPACK STUB SUPPORT_JAR HELLO_JAR JDK
set -uo pipefail
zorpack=$1 stub=$2 support=$3 hello=$4 jdk=$5
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The example with a nested jar stored whole, so that its bytes can be hit in place.
mkdir -p "$work/src/lib" "$work/extra"
echo "extra resource" >"$work/extra/extra.txt"
(cd "$work/extra" && zip -q -X ../src/lib/extra.jar extra.txt)
cp "$hello" "$work/app.jar"
(cd "$work/src" && zip -q -X -0 ../app.jar lib/extra.jar)
# Options that make each VM start cheaply: hundreds of them start here.
"$zorpack" --target linux --no-warm-start --stub "$stub" --support "$support" --main-class hello.Main --lib "$(dirname "$hello")/greetings.jar" \
    --set option=-XX:TieredStopAtLevel=1 --set option=-XX:+UseSerialGC \
    --set option=-Xmx32m --app "$work/app.jar" -o "$work/good" || { echo "FAIL: zorpack"; exit 1; }
export JAVA_HOME=$jdk
unset CLASSPATH CLASS_PATH
good_out=$(cd "$work" && timeout 60 ./good one 2>&1)
[ $? -eq 0 ] || { echo "FAIL: the intact program: $good_out"; exit 1; }

# ---- the damaged copies: one job per line, "cut LENGTH" or "flip OFFSET XOR" ----
. "$here/damage.sh"
regions=$("$here/damaged_regions.pl" "$work/good" lib/extra.jar) || { echo "FAIL: regions"; exit 1; }
# Cuts from where the ELF image ends: a program cut inside its image is stopped by the system
# loader before any of ours runs.
jobs=$(damage_jobs "$regions" 15 "cut after-image 45" "flip appended 35" "flip configuration 30" \
    "flip nested 30" "flip resource-block 20" "flip resource128 40") || { echo "FAIL: jobs"; exit 1; }
count=$(wc -l <<<"$jobs")

# One damaged copy: made, run with a time limit from its own folder, removed. Prints
# "RC JOB" and, when the run said nothing, "silent".
export work
run_one() {
    local kind=$1 at=$2 value=${3:-0}
    local dir
    dir=$(mktemp -d "$work/run.XXXXXX")
    damage_copy "$work/good" "$dir/app" "$kind" "$at" "$value"
    chmod +x "$dir/app"
    (cd "$dir" && timeout -s KILL 30 ./app one >out 2>&1)
    local rc=$?
    local said=said
    [ -s "$dir/out" ] || said=silent
    echo "$rc $said $kind $at $value"
    rm -rf "$dir"
}
export -f run_one damage_copy
results=$(xargs -P 4 -L 1 bash -c 'run_one "$@"' _ <<<"$jobs")
while read -r rc said kind at value; do
    if [ "$rc" -ge 124 ]; then
        fail "$kind $at $value: ended by signal or time limit (status $rc)"
    elif [ "$rc" -ne 0 ] && [ "$said" = silent ]; then
        fail "$kind $at $value: exit code $rc without a word"
    fi
done <<<"$results"
echo "$count damaged copies run; exit codes seen: $(cut -d' ' -f1 <<<"$results" | sort -n | uniq -c | tr -s ' \n' ' ')"

# ---- long and strange inputs on the intact program ----
long=$work
while [ ${#long} -lt 300 ]; do long="$long/a-folder-with-a-rather-long-name"; done
mkdir -p "$long"
cp "$work/good" "$long/app"
out=$(cd "$long" && timeout 60 ./app one 2>&1)
rc=$?
[ "$rc" -lt 124 ] && [ -n "$out" ] || fail "from a ${#long}-character folder: status $rc: $out"
out=$(cd "$long" && timeout 60 "$work/good" one 2>&1)
[ $? -eq 0 ] && [ "$out" = "$good_out" ] || fail "with a ${#long}-character current folder: $out"

# A value expanded from a 100,000-byte variable, and the longest configuration zorpack writes.
big=$(head -c 100000 /dev/zero | tr '\0' 'v')
"$zorpack" --target linux --no-warm-start --stub "$stub" --support "$support" --main-class hello.Main --lib "$(dirname "$hello")/greetings.jar" \
    --set "property=zor.big=%ZOR_BIG%" --set "option=-Dfiller=$(head -c 50000 /dev/zero | tr '\0' 'f')" \
    --app "$work/app.jar" -o "$work/big" || fail "zorpack: long configuration"
out=$(cd "$work" && ZOR_BIG=$big timeout 60 ./big one 2>&1)
[ $? -eq 0 ] && [ "$out" = "$good_out" ] || fail "huge values: $out"

[ "$failures" -eq 0 ] && echo "all damaged and strange runs ended by themselves"
[ "$failures" -eq 0 ]

#!/bin/bash
# A program carrying a runtime made by a JDK's jlink, started where no Java can be found (no
# JAVA_HOME, no java on PATH, /usr/lib/jvm hidden in a private mount namespace): it prints what
# java -cp prints; the first start unpacks the runtime into the cache (and makes its class-data
# archive when the image has none), later starts reuse it with a warm start and minjre, two
# first starts at once leave one complete folder, a damaged folder is replaced, and a cache
# that cannot be written gives the message and exit code 9, or, with --runtime-fallback, a
# warning and the installed runtime. Exits 77 where no private mount namespace can be made.
# Usage: embedded_runtime.sh ZORPACK STUB SUPPORT_JAR JARS_FOLDER JDK
set -uo pipefail
zorpack=$1 stub=$2 support=$3 jars=$4 jdk=$5
hidden=$(cd "$(dirname "$0")/../platform" && pwd)/without_default_java.sh
unshare -rm true 2>/dev/null || { echo "SKIP: no private mount namespace here"; exit 77; }
major=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_CACHE_HOME=$work/cache
runtimes=$XDG_CACHE_HOME/zor/runtimes
args=(-n "zor user" -c 2 --verbose rest1 rest2)
"$jdk/bin/java" -cp "$jars/clidrv.jar:$jars/cli/lib/commons-cli.jar" clidrv.CliDriver "${args[@]}" \
    >"$work/expected.out" || { echo "FAIL: java -cp"; exit 1; }

# JDK 17's image has no default class-data archive, so the first start makes one; later JDKs'
# images bring theirs.
cds=--generate-cds-archive
[ "$major" -gt 17 ] || cds=
modules=$("$jdk/bin/jdeps" --print-module-deps --ignore-missing-deps "$support" "$jars/cli.jar")
"$jdk/bin/jlink" --add-modules "$modules" --strip-debug --no-man-pages --no-header-files $cds \
    --output "$work/image" || { echo "FAIL: jlink"; exit 1; }
pack() {
    local name=$1
    shift
    "$zorpack" --target linux --stub "$stub" --support "$support" --main-class clidrv.CliDriver \
        --app "$jars/cli.jar" --set minjre=17.0 "$@" -o "$work/$name" ||
        { echo "FAIL: zorpack refused $*"; exit 1; }
}
pack plain
pack app --runtime "$work/image"
pack fallback --runtime "$work/image" --runtime-fallback

# run STEP PROGRAM EXIT_CODE [hidden|shown]: the trace goes to STEP.err, and standard error
# holds nothing else; a normal run prints what java -cp printed.
run() {
    local step=$1 program=$2 expected=$3 where=${4:-hidden}
    local wrap=("$hidden")
    [ "$where" = hidden ] || wrap=()
    (cd "$work" && timeout 120 env -u JAVA_HOME -u JRE_HOME -u CLASSPATH PATH=/usr/bin:/bin \
        ZOR_DEBUG=1 "${wrap[@]}" "./$program" "${args[@]}") >"$work/$step.out" 2>"$work/$step.err"
    local rc=$?
    [ "$rc" -eq "$expected" ] || fail "$step: exit code $rc, expected $expected: $(tail -5 "$work/$step.err")"
    [ "$expected" -ne 0 ] || cmp -s "$work/expected.out" "$work/$step.out" ||
        fail "$step: output differs from java -cp's: $(head -c 1000 "$work/$step.out")"
    other "$step"
}
# Standard error without the trace, and without the line of the process that writes an AOT
# cache (JDK 25 on), which the runtime starts itself with the launcher's options.
other() { grep -v -e '^zor: ' -e '^Picked up JAVA_TOOL_OPTIONS: ' "$work/$1.err" >"$work/$1.other"; }
quiet() { [ -s "$work/$1.other" ] && fail "$1: standard error: $(head -c 1000 "$work/$1.other")"; }
traced() { grep -q "^zor: $2" "$work/$1.err" || fail "$1: no trace line '$2'"; }
# One complete runtime folder and nothing else in the cache.
one_folder() {
    local names
    names=$(ls -A "$runtimes" 2>&1)
    [[ $names =~ ^[0-9a-f]{16}$ ]] && [ "$(cat "$runtimes/$names/.zor-complete")" = "$names" ] ||
        fail "$1: the cache holds: $names"
}

# Nothing else could find a runtime here.
run no_runtime plain 1
grep -q "Java Runtime Environment not found" "$work/no_runtime.other" ||
    fail "without a runtime inside: $(cat "$work/no_runtime.err")"

while read -r step program damage expected where trace; do
    folder=$(ls -d "$runtimes"/???????????????? 2>/dev/null)
    case $damage in
    cut) truncate -s 4096 "$folder/lib/modules" ;;
    unmarked) rm -f "$folder/.zor-complete" ;;
    unwritable) export XDG_CACHE_HOME=/proc/zor-embedded-runtime-test ;;
    esac
    run "$step" "$program" "$expected" "$where"
    XDG_CACHE_HOME=$work/cache
    [ "$trace" = - ] || traced "$step" "$trace"
    if [ "$damage" = unwritable ]; then
        grep -Eqx "The Java runtime inside this program cannot be unpacked into /proc/zor-embedded-runtime-test/zor/runtimes/[0-9a-f]{16}\." \
            <(sed 's/^Error: //' "$work/$step.other") || fail "$step: standard error: $(cat "$work/$step.other")"
    else
        quiet "$step"
        one_folder "$step"
    fi
done <<EOF
first app - 0 hidden embedded runtime: unpacked into
second app - 0 hidden embedded runtime: reusing
cut app cut 0 hidden embedded runtime: replaced the damaged
unmarked app unmarked 0 hidden embedded runtime: replaced the damaged
unwritable app unwritable 9 hidden -
fallback fallback unwritable 0 shown runtime method s: /usr/lib/jvm/
EOF
[ "$major" -gt 17 ] || traced first "embedded runtime: class-data archive made"
traced first "runtime method r: $runtimes/[0-9a-f]*/lib/server/libjvm.so"
traced second "warm start: using"

# Two first starts at once: both run, and one complete folder is left.
rm -rf "$runtimes"
(cd "$work" && env -u JAVA_HOME PATH=/usr/bin:/bin "$hidden" bash -c \
    './app "$@" >copy1.out 2>copy1.err & ./app "$@" >copy2.out 2>copy2.err & wait' - "${args[@]}")
for copy in copy1 copy2; do
    other "$copy"
    cmp -s "$work/expected.out" "$work/$copy.out" && [ ! -s "$work/$copy.other" ] ||
        fail "$copy: output: $(cat "$work/$copy.out" "$work/$copy.err")"
done
one_folder "two at once"

[ "$failures" -eq 0 ] && echo "runtime of $(basename "$jdk")'s jlink: unpacked, reused, two at once, damage replaced, unwritable cache reported and fallen back from"
[ "$failures" -eq 0 ]

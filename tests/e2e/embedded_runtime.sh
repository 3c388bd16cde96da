#!/bin/bash
# A program carrying a JDK's jlink runtime, started where no Java can be found (no JAVA_HOME, no
# java on PATH, /usr/lib/jvm hidden), prints what java -cp prints; the first start unpacks (making
# the class-data archive an image lacks), later ones reuse with warm start and minjre, two first
# starts at once leave one folder, damage is replaced, an unwritable cache gives exit code 9 and
# the message, or with --runtime-fallback the installed runtime.
# Usage: embedded_runtime.sh ZORPACK STUB SUPPORT_JAR JARS_FOLDER JDK (77: no mount namespace)
set -uo pipefail
zorpack=$1 stub=$2 support=$3 jars=$4 jdk=$5
hidden=$(cd "$(dirname "$0")/../platform" && pwd)/without_default_java.sh
unshare -rm true 2>/dev/null && [ -x "$jdk/bin/jlink" ] || { echo "SKIP: no private mount namespace or no jlink"; exit 77; }
work=$(mktemp -d) failures=0
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
complete() { hash=$(ls -A "$runtimes" 2>&1) && [[ $hash =~ ^[0-9a-f]{16}$ && $(cat "$runtimes/$hash/.zor-complete") = "$hash" ]] || fail "$1: the cache holds $hash"; }
export XDG_CACHE_HOME=$work/cache
runtimes=$XDG_CACHE_HOME/zor/runtimes unwritable=/proc/zor-embedded-runtime-test cds=--generate-cds-archive
args=(-n "zor user" -c 2 --verbose rest1 rest2)
"$jdk/bin/java" -cp "$jars/clidrv.jar:$jars/cli/lib/commons-cli.jar" clidrv.CliDriver "${args[@]}" >"$work/expected" || exit 1
grep -q '^JAVA_VERSION="17' "$jdk/release" && cds= # the first start makes the archive
"$jdk/bin/jlink" --add-modules "$("$jdk/bin/jdeps" --print-module-deps --ignore-missing-deps "$support" \
    "$jars/cli.jar")" --strip-debug --no-man-pages --no-header-files $cds --output "$work/image" || exit 1
for program in "plain" "app --runtime $work/image" "fallback --runtime $work/image --runtime-fallback"; do
    set -- $program
    "$zorpack" --target linux --stub "$stub" --support "$support" --main-class clidrv.CliDriver \
        --app "$jars/cli.jar" --set minjre=17.0 "${@:2}" -o "$work/$1" >/dev/null || exit 1
done
# STEP PROGRAM EXIT_CODE WRAPPER TRACE; standard error: the trace, a launch error, JDK 25's AOT line.
while read -r step program expected wrapper trace; do
    hash=$(ls -A "$runtimes" 2>/dev/null) cache=$XDG_CACHE_HOME said=
    case $step in
    cut) truncate -s 4096 "$runtimes/$hash/lib/modules" ;;
    unmarked) rm "$runtimes/$hash/.zor-complete" ;;
    unwritable | fallback) cache=$unwritable said="The Java runtime inside this program cannot be unpacked into $unwritable/zor/runtimes/$hash." ;;
    no_runtime) said="Java Runtime Environment not found." ;;
    esac
    (cd "$work" && XDG_CACHE_HOME=$cache timeout 120 env -u JAVA_HOME -u JRE_HOME PATH=/usr/bin:/bin \
        ZOR_DEBUG=1 ${wrapper/shown/} "./$program" "${args[@]}") >"$work/$step.out" 2>"$work/$step.err"
    rc=$? && [ "$rc" -eq "$expected" ] || fail "$step: exit code $rc, expected $expected: $(tail -3 "$work/$step.err")"
    [ "$expected" -ne 0 ] || cmp -s "$work/expected" "$work/$step.out" || fail "$step: output differs"
    grep -q "^zor: $trace" "$work/$step.err" || fail "$step: no trace line '$trace'"
    other=$(grep -v -e '^zor: ' -e '^Picked up JAVA_TOOL_OPTIONS: ' "$work/$step.err" | sed 's/^Error: //')
    [ "$other" = "$said" ] || fail "$step: standard error: $other"
    [ -n "$said" ] || complete "$step"
done <<EOF
no_runtime plain 1 $hidden runtime search: nothing found
first app 0 $hidden embedded runtime: unpacked into
second app 0 $hidden embedded runtime: reusing
cut app 0 $hidden embedded runtime: replaced the damaged
unmarked app 0 $hidden embedded runtime: replaced the damaged
unwritable app 9 $hidden runtime method r: nothing found
fallback fallback 0 shown runtime method s: /usr/lib/jvm/
EOF
grep -q "^zor: runtime method r: $runtimes/[0-9a-f]*/lib/server/libjvm.so" "$work/second.err" &&
    grep -q "^zor: warm start: using" "$work/second.err" || fail "second: not the runtime's or no warm start"
[ -n "$cds" ] || grep -q "^zor: embedded runtime: class-data archive made" "$work/first.err" || fail "first: no archive made"

rm -rf "$runtimes" # two first starts at once: both run, and leave one complete folder alone
(cd "$work" && env -u JAVA_HOME PATH=/usr/bin:/bin "$hidden" bash -c \
    './app "$@" >copy1 2>copy1.err & ./app "$@" >copy2 2>copy2.err & wait' - "${args[@]}")
for copy in copy1 copy2; do
    cmp -s "$work/expected" "$work/$copy" && ! grep -qv '^Picked up' "$work/$copy.err" || fail "$copy: $(cat "$work/$copy"*)"
done
complete "two at once"
[ "$failures" -eq 0 ] && echo "runtime of $(basename "$jdk")'s jlink: unpacked, reused, two at once, damage replaced, unwritable cache reported and fallen back from"

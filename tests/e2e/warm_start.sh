#!/bin/bash
# A packed program with a warm start (zorpack's default), run with a real JDK: the first run
# writes the class-data archive (an AOT cache from JDK 25 on), the next maps every class of
# the application from it, with the same output and nothing on standard error; a damaged
# archive, an unwritable cache folder and two copies started at once still give normal runs;
# a newer build leaves one archive. With --no-warm-start the program starts with the plain
# options and creates no cache at all.
# Usage: warm_start.sh ZORPACK STUB SUPPORT_JAR APP_JAR JDK
set -uo pipefail
zorpack=$1 stub=$2 support=$3 app_jar=$4 jdk=$5
major=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_CACHE_HOME=$work/cache

pack() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    "$zorpack" --target linux --stub "$stub" --support "$support" --main-class app.Main \
        --app "$app_jar" --set "jvmdll=$jdk/lib/server/libjvm.so" "$@" -o "$work/$name/app" ||
        { echo "FAIL: zorpack refused"; exit 1; }
}
# The process that writes an AOT cache, started by the runtime itself, names its options.
unpicked() { [ "$major" -lt 25 ] || sed -i '/^Picked up JAVA_TOOL_OPTIONS: /d' "$1"; }
# run NAME STEP [OPTION...]: runs the program (with more VM options from a file beside it) and
# checks its exit code, its output against the plain program's and its empty standard error.
run() {
    local name=$1 step=$2
    shift 2
    rm -f "$work/$name/app.cfg"
    [ $# -gt 0 ] && printf 'option %s\r\n' "$@" >"$work/$name/app.cfg"
    (cd "$work/$name" && timeout 120 env -u CLASSPATH -u CLASS_PATH ./app classes) \
        >"$work/$step.out" 2>"$work/$step.err"
    local rc=$?
    [ "$rc" -eq 0 ] || fail "$step: exit code $rc"
    unpicked "$work/$step.err"
    [ -s "$work/$step.err" ] && fail "$step: standard error: $(head -c 2000 "$work/$step.err")"
    if [ -f "$work/plain.out" ] && ! cmp -s "$work/plain.out" "$work/$step.out"; then
        fail "$step: output differs from the plain program's: $(head -c 2000 "$work/$step.out")"
    fi
}
# mapped STEP: the run of STEP took every class of the application from the archive, also
# those it only loaded, which the runtime does not archive unless they were linked.
mapped() {
    grep -q 'app\.Main source: shared objects file' "$work/$1.log" ||
        fail "$1: app.Main did not come from the archive: $(grep 'app\.Main ' "$work/$1.log")"
    local missed
    missed=$(grep -E '\] (app|nested)\.' "$work/$1.log" | grep -v 'source: shared objects file')
    [ -z "$missed" ] || fail "$1: classes not from the archive: $(head -c 2000 <<<"$missed")"
}
logging() { echo "-Xlog:class+load:file=$work/$1.log"; }

pack plain --no-warm-start
run plain plain -XX:+UnlockDiagnosticVMOptions -XX:+LogVMOutput "-XX:LogFile=$work/plain.xml"
grep -qx 'many=40' "$work/plain.out" || fail "plain: unexpected output: $(cat "$work/plain.out")"
[ -e "$XDG_CACHE_HOME" ] && fail "plain: a cache appeared without the key"
# The plain launch: native access only where the runtime restricts System.load, no archive.
args=$(sed -n '/^<args>$/{n;p;q}' "$work/plain.xml")
[ -n "$args" ] || fail "plain: no VM options logged"
grep -q -- '--enable-native-access' <<<"$args"
[ $? -eq $((major >= 24 ? 0 : 1)) ] || fail "plain: native access on JDK $major: $args"
grep -q -E 'Archive|AOT|cds' <<<"$args" && fail "plain: archive options: $args"

pack warm
run warm first
archive=$(ls "$XDG_CACHE_HOME"/zor/app-*.jsa 2>/dev/null)
[ -f "$archive" ] || fail "first: no archive in $XDG_CACHE_HOME/zor: $(ls -R "$XDG_CACHE_HOME" 2>&1)"
run warm second "$(logging second)"
mapped second

if [ -f "$archive" ]; then
    chmod u+w "$archive"
    size=$(stat -c %s "$archive")
    dd if=/dev/urandom of="$archive" bs=1 seek=$((size / 2)) count=4096 conv=notrunc 2>/dev/null
    run warm damaged
    run warm rewritten "$(logging rewritten)"
    mapped rewritten
    truncate -s $((size / 3)) "$archive"
    run warm truncated
fi

# A cache folder that cannot be created, even by root.
XDG_CACHE_HOME=/proc/zor-warm-start-test run warm unwritable

# Two copies at once on an empty cache: both run normally, and a later start maps the archive.
rm -rf "$XDG_CACHE_HOME"
rm -f "$work/warm/app.cfg"
for copy in 1 2; do
    (cd "$work/warm" && timeout 120 env -u CLASSPATH -u CLASS_PATH ./app classes) \
        >"$work/copy$copy.out" 2>"$work/copy$copy.err" &
done
wait
for copy in 1 2; do
    cmp -s "$work/plain.out" "$work/copy$copy.out" || fail "copy $copy: output differs"
    unpicked "$work/copy$copy.err"
    [ -s "$work/copy$copy.err" ] && fail "copy $copy: standard error: $(cat "$work/copy$copy.err")"
done
run warm after_copies "$(logging after_copies)"
mapped after_copies

# A newer build of the program replaces the archive of the older one.
pack warm --set property=build=2
run warm newer_first
run warm newer "$(logging newer)"
mapped newer
archives=$(ls "$XDG_CACHE_HOME"/zor/app-*.jsa)
[ "$(wc -l <<<"$archives")" -eq 1 ] && [ "$archives" != "$archive" ] ||
    fail "newer: archives in the cache: $archives (the older build's: $archive)"

[ "$failures" -eq 0 ] && echo "warm start with $(basename "$jdk"): written, mapped, one archive per program, and damage, an unwritable folder and two copies at once survived"
[ "$failures" -eq 0 ]

#!/bin/bash
# A win64 executable packed by zorpack, run under wine64 against the test-double VM: the
# configuration comes from the appended archive's comment, a .cfg beside the executable comes
# first, and the application archive travels as resource 128 without breaking the program.
# Usage: packed_win64.sh ZORPACK STUB.exe SUPPORT_JAR FAKE_JVM.dll APP_JAR WINEPREFIX
set -uo pipefail
zorpack=$1 stub=$2 support=$3 fake_jvm=$4 app_jar=$5
export WINEPREFIX=$6
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
for f in "$stub" "$fake_jvm"; do
    if [ ! -f "$f" ]; then
        # Skipped (77) when only the linux preset is built; scripts/test builds them all.
        [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && { echo "FAIL: $f is not built"; exit 1; }
        echo "SKIP: $f is not built (build the win64 preset first)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }
. "$(dirname "$0")/resource128.sh"

"$zorpack" --target win64 --stub "$stub" --support "$support" --main-class app.Main \
    --set "option=-Xembedded" --set "property=emb.prop=%ZOR_PACKED_VALUE%" \
    --set "jre_order=c" --set "jvmdll=$(winpath "$fake_jvm")" --app "$app_jar" \
    -o "$work/app.exe" || { echo "FAIL: zorpack refused"; exit 1; }
printf 'option -Xfromcfg\r\nproperty cfg.prop=1\r\n' >"$work/app.cfg"

ZOR_FAKE_JVM_LOG=$(winpath "$work/vm.log") ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=app/Main \
    ZOR_PACKED_VALUE=expanded ZOR_WINE_TIMEOUT=150 "$wine_run" "$work/app.exe" >"$work/out" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc: $(cat "$work/out")"
options=$(grep '^option ' "$work/vm.log" 2>/dev/null | tr -d '\r')
exe=$(winpath "$work/app.exe")
expected="option -Xfromcfg
option -Xembedded
option -Dcfg.prop=1
option -Demb.prop=expanded
option -Djava.class.path=$exe
option -Dzor.app.path=$exe
option -Dapplication.home=$(winpath "$work")\\"
[ "$options" = "$expected" ] || fail "options the VM received:
$options
expected:
$expected"
grep -q 'app/Main' "$work/vm.log" || fail "the main class app.Main was not looked up: $(cat "$work/vm.log")"

# Resource 128 holds the application archive, every byte rotated right by two bits.
check_resource128 "$work/app.exe" "$app_jar"

[ "$failures" -eq 0 ] && echo "packed win64 program: configuration, option order and resource 128 as expected"
[ "$failures" -eq 0 ]

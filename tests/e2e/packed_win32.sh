#!/bin/bash
# A win32 program packed by zorpack from the real stub stays a valid 32-bit GUI program with
# its string tables and native exports, carries the application as resource 128 and ends with
# the support archive whose comment is the configuration. Checked statically here;
# packed_windows.sh runs such a program.
# Usage: packed_win32.sh ZORPACK STUB.exe SUPPORT_JAR APP_JAR OBJDUMP
set -uo pipefail
zorpack=$1 stub=$2 support=$3 app_jar=$4 objdump=$5
static=$(cd "$(dirname "$0")/../static" && pwd)
if [ ! -f "$stub" ]; then
    [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && { echo "FAIL: $stub is not built"; exit 1; }
    echo "SKIP: $stub is not built (build the win32 preset first)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
. "$(dirname "$0")/resource128.sh"

"$zorpack" --target win32 --stub "$stub" --support "$support" --main-class app.Main --no-warm-start \
    --set "option=-Xmx64m" --app "$app_jar" -o "$work/app.exe" || { echo "FAIL: zorpack refused"; exit 1; }
"$static/check_stub.sh" win32 "$work/app.exe" "$objdump" || fail "the packed program fails the stub checks"
"$static/check_exports.sh" win32 "$work/app.exe" "$objdump" || fail "the packed program lost its exports"
check_resource128 "$work/app.exe" "$app_jar"
comment=$(unzip -z "$work/app.exe" 2>/dev/null | tail -n +2 | tr -d '\r')
[ "$comment" = $'mainclass app.Main\noption -Xmx64m' ] || fail "appended configuration reads '$comment'"
# unzip warns about the program in front of the archive; its listing is what counts.
listing=$(unzip -l "$work/app.exe" 2>/dev/null)
grep -q 'com/tarnwick/zor/LumbrixClassLoader.class' <<<"$listing" ||
    fail "the support classes are not in the appended archive"

[ "$failures" -eq 0 ] && echo "packed win32 program: valid, exports, resource 128 and configuration as expected"
[ "$failures" -eq 0 ]

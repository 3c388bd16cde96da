#!/bin/bash
# The Windows stub under wine (either kind): each failed launch shows one warning box with its
# localized message and ends with its code; an exception out of main ends with 1, success with 0.
# Usage: launch_wine_messages.sh STUB.exe READER.exe FAKE_JVM.dll NO_EXPORT.dll WINEPREFIX
set -uo pipefail
stub=$1 reader=$2 fake_jvm=$3 no_export=$4
export WINEPREFIX=$5
wine_run=$(dirname "$0")/../../scripts/wine-run
[ -n "${DISPLAY:-}" ] || { echo "FAIL: message boxes need DISPLAY (an Xvfb)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
. "$(dirname "$0")/wine_app.sh"
# make_app NAME FILE_CONFIG EMBEDDED_CONFIG: the stub under test, configured.
make_app() { make_packed_app "$1" "$stub" "$2" "$3"; }

# expect_box NAME APP EXIT CAPTION TEXT: runs the app with the box reader beside it.
expect_box() {
    local name=$1 app=$2 code=$3 caption=$4 text=$5
    # Generous limits: wine starts slowly on a loaded machine.
    ZOR_WINE_TIMEOUT=150 "$wine_run" "$app" >"$work/$name.app.out" 2>&1 &
    local pid=$!
    ZOR_WINE_TIMEOUT=150 "$wine_run" "$reader" 120000 >"$work/$name.box" 2>"$work/$name.box.err"
    local box_rc=$?
    wait $pid
    local rc=$?
    local seen
    seen=$(tr -d '\r' <"$work/$name.box")
    [ $box_rc -eq 0 ] || fail "$name: $seen"
    [ "$seen" = "caption=$caption"$'\n'"text=$text" ] || fail "$name: box read '$seen'"
    [ $rc -eq "$code" ] || fail "$name: exit code $rc, expected $code"
    [ $box_rc -eq 0 ] && [ $rc -eq "$code" ] || cat "$work/$name.app.out"
}
# expect_exit NAME APP EXIT [ARGS...]: a launch that shows no box.
expect_exit() {
    local name=$1 app=$2 code=$3
    shift 3
    ZOR_WINE_TIMEOUT=150 "$wine_run" "$app" "$@" >"$work/$name.out" 2>&1
    local rc=$?
    [ $rc -eq "$code" ] || { fail "$name: exit code $rc, expected $code"; cat "$work/$name.out"; }
}

fake="jre_order c\r\njvmdll $(winpath "$fake_jvm")\r\n"
app=$(make_app missing "jre_order c\r\njvmdll $(winpath "$work/none/jvm.dll")\r\n" "")
expect_box missing "$app" 1 "Error" "Java Runtime Environment not found."
LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 expect_box missing_cn "$app" 1 "错误" "Java 运行环境未找到。"
LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8 expect_box missing_tw "$app" 1 "錯誤" "Java 運行環境未找到。"

app=$(make_app invalid "jre_order c\r\njvmdll $(winpath "$no_export")\r\n" "")
expect_box invalid "$app" 2 "Error" "Java Runtime Environment not valid."
app=$(make_app refused "$fake" "mainclass a.Main\r\n")
expect_box refused "$app" 4 "Error" "Java Virtual Machine starts failed."

export ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_VERSION=1.6.0_22-b04 ZOR_FAKE_JVM_MAIN=a/Main
app=$(make_app old "${fake}minjre 1.7\r\n" "mainclass a.Main\r\n")
expect_box old "$app" 6 "Error" "Java virtual machine version 1.6 is too low, require 1.7 or higher."
app=$(make_app nomain "$fake" "mainclass b.Main\r\n")
expect_box nomain "$app" 7 "Error" "The main startup class could not be found."
app=$(make_app ok "${fake}minjre 1.5\r\n" "mainclass a.Main\r\n")
# The arguments after the program name reach main in order, an empty one included.
ZOR_FAKE_JVM_LOG="Z:${work//\//\\}\\ok.log" expect_exit ok "$app" 0 x "" "two words" "é"
args=$(grep '^arg ' "$work/ok.log" | tr -d '\r')
[ "$args" = $'arg 0: 0078\narg 1:\narg 2: 0074 0077 006f 0020 0077 006f 0072 0064 0073\narg 3: 00e9' ] ||
    fail "ok: arguments seen by main: '$args'"
# ZOR_DEBUG: a GUI program writes its trace beside itself, a missing runtime and a found one.
trace_has() { tr -d '\r' <"$work/$1/app-zor-trace.txt" | grep -qF -- "$2" || fail "$1: no '$2' in the trace"; }
ZOR_DEBUG=1 expect_exit ok "$app" 0
trace_has ok "zor: trace file $(winpath "$work/ok/app-zor-trace.txt" | sed 's/\\\\/\\/g')"
trace_has ok "zor: runtime method c: "
trace_has ok "zor: loading the VM library "
trace_has ok "zor: JNI_CreateJavaVM returned 0"
trace_has ok "zor: main class a.Main: "
ZOR_DEBUG=1 expect_box missing "$work/missing/app.exe" 1 "Error" "Java Runtime Environment not found."
trace_has missing "zor: runtime method c: nothing found"
trace_has missing "zor: runtime search: nothing found"
ZOR_FAKE_JVM_THROW=1 expect_exit throws "$app" 1
ZOR_FAKE_JVM_NO_MAIN=1 expect_box badmain "$app" 8 "Error" "The main startup class is not valid, main method missing."

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all message boxes and exit codes as expected"

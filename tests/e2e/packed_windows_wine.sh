#!/bin/bash
# Windows programs packed by zorpack, run under wine against the test-double VM:
# - a --console program prints its launch failure on standard error as well as in its message
#   box, and its exit code reaches the caller; without --console standard error stays silent;
# - the loader reads the stub's manifest into the process: its activation context declares
#   per-monitor DPI awareness (and a manifest given with --manifest that declares none leaves
#   it without), and the process reports itself per-monitor DPI aware. Wine 8 makes every
#   process per-monitor aware (v1) whatever its manifest says, so only the declarations tell
#   the two programs apart there; a wine that honours them shows the bare one unaware.
# Usage: packed_windows_wine.sh TARGET ZORPACK STUB.exe SUPPORT_JAR FAKE_JVM.dll READER.exe WINEPREFIX
set -uo pipefail
target=$1 zorpack=$2 stub=$3 support=$4 fake_jvm=$5 reader=$6
export WINEPREFIX=$7
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
if [ "$target" = win32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "SKIP: the 32-bit wine cannot start on this machine"
    exit 77
fi
for f in "$stub" "$fake_jvm" "$reader"; do
    if [ ! -f "$f" ]; then
        # Skipped (77) when the Windows presets are not built; scripts/test builds them all.
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

pack() {
    local out=$1
    shift
    "$zorpack" --target "$target" --stub "$stub" --support "$support" --main-class a.Main \
        --set jre_order=c --set "jvmdll=$(winpath "$fake_jvm")" "$@" -o "$out" ||
        { echo "FAIL: zorpack refused $*"; exit 1; }
}

# The VM starts but finds no class a.Main: "The main startup class could not be found.", 7.
export ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=b/Main
message="The main startup class could not be found."
for kind in console gui; do
    pack "$work/$kind.exe" $([ $kind = console ] && echo --console)
    ZOR_WINE_TIMEOUT=150 "$wine_run" "$work/$kind.exe" >"$work/$kind.out" 2>"$work/$kind.err" &
    pid=$!
    ZOR_WINE_TIMEOUT=150 "$wine_run" "$reader" 120000 >"$work/$kind.box" 2>&1
    box_rc=$?
    wait $pid
    rc=$?
    box=$(tr -d '\r' <"$work/$kind.box")
    [ $box_rc -eq 0 ] && [ "$box" = "caption=Error"$'\n'"text=$message" ] || fail "$kind: box read '$box'"
    [ $rc -eq 7 ] || fail "$kind: exit code $rc, expected 7"
    err=$(tr -d '\r' <"$work/$kind.err")
    if [ $kind = console ]; then
        grep -Fxq "Error: $message" <<<"$err" || fail "console: standard error reads '$err'"
    else
        ! grep -Fq "$message" <<<"$err" || fail "gui: the message reached standard error: '$err'"
    fi
done

# The VM starts and runs a.Main; the test double records the process's DPI awareness.
export ZOR_FAKE_JVM_MAIN=a/Main ZOR_FAKE_JVM_DPI=1
printf '%s\n' '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>' \
    '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>' >"$work/bare.manifest"
pack "$work/aware.exe"
pack "$work/bare.exe" --manifest "$work/bare.manifest"
for kind in aware bare; do
    ZOR_FAKE_JVM_LOG=$(winpath "$work/$kind.log") ZOR_WINE_TIMEOUT=150 "$wine_run" "$work/$kind.exe" \
        >"$work/$kind.out" 2>&1
    rc=$?
    [ $rc -eq 0 ] || fail "$kind: exit code $rc: $(cat "$work/$kind.out")"
done
settings() { grep '^dpi settings ' "$work/$1.log" 2>/dev/null | tr -d '\r'; }
awareness() { grep '^dpi awareness ' "$work/$1.log" 2>/dev/null | tr -d '\r'; }
[ "$(settings aware)" = "dpi settings dpiAware=true/PM dpiAwareness=PerMonitorV2, PerMonitor, system" ] ||
    fail "with the stub's manifest the process declares '$(settings aware)'"
[ "$(settings bare)" = "dpi settings dpiAware=- dpiAwareness=-" ] ||
    fail "with a bare manifest the process declares '$(settings bare)'"
[[ "$(awareness aware)" == "dpi awareness 2 "* ]] ||
    fail "with the stub's manifest: '$(awareness aware)', expected per-monitor awareness"
# Where wine honours the declarations (the bare program unaware), the stub's must give v2.
if [ "$(awareness bare)" = "dpi awareness 0 permonitorv2 0" ]; then
    [ "$(awareness aware)" = "dpi awareness 2 permonitorv2 1" ] ||
        fail "with the stub's manifest: '$(awareness aware)', expected per-monitor v2"
fi
echo "awareness with the stub's manifest: $(awareness aware); with a bare one: $(awareness bare)"

[ "$failures" -eq 0 ] && echo "$target: console launch error on standard error with exit code 7; DPI declarations from the manifest"
[ "$failures" -eq 0 ]

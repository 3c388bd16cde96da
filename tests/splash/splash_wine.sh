#!/bin/bash
# Launcher stubs with and without splash bitmap 100 under wine, against the test-double VM: the
# bitmap centred on the screen, the splash window as the owner of the error box, the splash gone
# shortly after the box, and no window and no owner without the bitmap.
# Usage: splash_wine.sh SPLASH_STUB.exe PLAIN_STUB.exe PROBE.exe FAKE_JVM.dll BITMAP X11_PROBE
#        WINEPREFIX
set -uo pipefail
splash_stub=$1 plain_stub=$2 probe=$3 fake_jvm=$4 bitmap=$5 x11_probe=$6
export WINEPREFIX=$7
wine_run=$(dirname "$0")/../../scripts/wine-run
[ -n "${DISPLAY:-}" ] || { echo "FAIL: the splash needs DISPLAY (an Xvfb)"; exit 1; }
if [ ! -x "$x11_probe" ]; then
    [ -n "${ZOR_REQUIRE_ALL_TARGETS:-}" ] && { echo "FAIL: no $x11_probe (build linux)"; exit 1; }
    echo "SKIP: $x11_probe is built by the linux preset"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
. "$(dirname "$0")/../e2e/wine_app.sh"
make_app() { make_packed_app "$@"; }
probe() { ZOR_WINE_TIMEOUT=150 "$wine_run" "$probe" "$@" | tr -d '\r'; }
# expect_box NAME APP EXIT OWNER [HOLD_MS]: the box's owner, then how long the splash outlives
# it; what the probe saw is left in $seen.
expect_box() {
    local name=$1 app=$2 code=$3 owner=$4
    probe box 120000 ${5:-} >"$work/$name.box"
    seen=$(cat "$work/$name.box")
    echo "$name:" $seen
    wait "$pid"
    local rc=$?
    grep -qx "owner=$owner" <<<"$seen" || fail "$name: expected owner $owner: $seen"
    [ $rc -eq "$code" ] || fail "$name: exit code $rc, expected $code: $(cat "$work/$name.out")"
}
start() { ZOR_WINE_TIMEOUT=150 "$wine_run" "$1" >"$work/$2.out" 2>&1 & pid=$!; }
gone_within() {
    local ms
    ms=$(sed -n 's/^gone=//p' <<<"$2")
    [[ "$ms" =~ ^[0-9]+$ ]] && [ "$ms" -le "$3" ] || fail "$1: splash gone after '$ms' ms, expected at most $3"
}

fake="jre_order c\r\njvmdll $(winpath "$fake_jvm")\r\n"
missing="jre_order c\r\njvmdll $(winpath "$work/none/jvm.dll")\r\n"

# A slow VM start: the bitmap is on screen, centred, until the VM fails; then its box.
app=$(make_app slow "$splash_stub" "$fake" "mainclass a.Main\r\n")
ZOR_FAKE_JVM_CREATE_MS=6000 start "$app" slow
where=$(probe splash 120000)
# Visible to Windows a moment before the X server has drawn it.
for _ in $(seq 50); do
    "$x11_probe" match "$bitmap" >"$work/match.out" && break
    sleep 0.1
done || fail "slow: bitmap not on screen: $(cat "$work/match.out") ($where)"
expect_box slow "$app" 4 ZORSPLASH
gone_within slow "$seen" 1000

# No runtime to find: the box belongs to the splash, which goes 100 ms after it.
app=$(make_app missing "$splash_stub" "$missing" "")
start "$app" missing
expect_box missing "$app" 1 ZORSPLASH
gone_within missing "$seen" 1000

# No main class: the launcher's close after main must not take the open box with the splash,
# and the splash goes 100 ms after the box while the VM still waits for its threads.
app=$(make_app nomain "$splash_stub" "$fake" "mainclass b.Main\r\n")
ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=a/Main ZOR_FAKE_JVM_DESTROY_MS=4000 start "$app" nomain
expect_box nomain "$app" 7 ZORSPLASH 1500
grep -qx "held=1,1" <<<"$seen" || fail "nomain: box and splash after 1.5 s: $seen"
gone_within nomain "$seen" 1000

# Without bitmap 100 there is no splash window and the box has no owner.
app=$(make_app plain "$plain_stub" "$missing" "")
start "$app" plain
expect_box plain "$app" 1 none
grep -qx "gone=none" <<<"$seen" || fail "plain: a splash window appeared: $seen"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "splash centred, owning its error box, and closed after it; none without the bitmap"

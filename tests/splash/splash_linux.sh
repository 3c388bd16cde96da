#!/bin/bash
# A packed Linux program with a splash bitmap, run with the real JDK on a private Xvfb: the
# bitmap on screen, the launcher's close after main, autoClose and close from Java, a key
# press (and not a click), and no splash without a display or without a usable libX11.
# Usage: splash_linux.sh ZORPACK STUB SUPPORT_JAR APP_JAR JDK PROBE BITMAP FAKE_X11_DIR [SHOT.png]
set -uo pipefail
zorpack=$1 stub=$2 support=$3 jar=$4 jdk=$5 probe=$6 bitmap=$7 fake_x11=$8 shot=${9:-}
[ -n "${DISPLAY:-}" ] || { echo "FAIL: run me through with_xvfb.sh"; exit 1; }
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$zorpack" --target linux --stub "$stub" --support "$support" --main-class splashtest.Main \
    --app "$jar" --splash "$bitmap" -o "$work/app" || { echo "FAIL: zorpack"; exit 1; }

# start NAME ARGS...: runs the program in the background, its output in $work/NAME.out.
start() {
    local name=$1
    shift
    (cd "$work" && exec timeout 60 env -u CLASSPATH JAVA_HOME="$jdk" ./app "$@") \
        >"$work/$name.out" 2>"$work/$name.err" &
    pid=$!
    pids+=($pid)
}
# wait_line NAME REGEX: waits (at most 30 s) for a line of the program's output; prints it.
wait_line() {
    for _ in $(seq 600); do
        grep -m1 -E "^$2\$" "$work/$1.out" && return 0
        sleep 0.05
    done
    fail "$1: no line /$2/ in: $(cat "$work/$1.out") $(cat "$work/$1.err")"
    return 1
}
finish() {
    wait "$pid"
    local rc=$?
    [ $rc -eq 0 ] || fail "$1: exit code $rc: $(cat "$work/$1.err")"
    grep -qx "after=null" "$work/$1.out" || fail "$1: a closed splash answered: $(cat "$work/$1.out")"
}
on_screen() { "$probe" match "$bitmap" >"$work/probe.out"; }
in_range() { [ "$2" -ge "$3" ] && [ "$2" -le "$4" ] || fail "$1: $2 ms, expected $3 to $4"; }

# The launcher closes the splash 750 ms after main returns; a click does not close it.
start auto auto "$work/go"
wait_line auto "shown=true distinct=true" >/dev/null
if wait_line auto waiting >/dev/null; then
    on_screen || fail "auto: the bitmap is not on screen: $(cat "$work/probe.out")"
    [ -z "$shot" ] || "$probe" png "$bitmap" "$shot" || fail "auto: no screenshot"
    "$probe" click || fail "auto: click"
    sleep 0.5
    on_screen || fail "auto: a click closed the splash"
    touch "$work/go"
    if line=$(wait_line auto "goneAfterMain=[0-9]+"); then
        in_range auto "${line#*=}" 700 2500
        on_screen && fail "auto: the bitmap stayed on screen"
    fi
fi
finish auto

# autoClose(-1) keeps it past main until close().
start keep keep
wait_line keep "shown=true distinct=true" >/dev/null
wait_line keep "keptAfterMain=true" >/dev/null
line=$(wait_line keep "goneAfterClose=[0-9]+") && in_range keep "${line#*=}" 0 1000
finish keep

# autoClose(0), replacing a pending autoClose(5000), closes at once.
start zero zero
line=$(wait_line zero "goneAfterZero=[0-9]+") && in_range zero "${line#*=}" 0 1000
finish zero

# A key press closes it; the splash has the keyboard focus.
start key key
if wait_line key waiting >/dev/null; then
    "$probe" click || fail "key: click"
    sleep 0.4
    on_screen || fail "key: a click closed the splash"
    "$probe" key || fail "key: no key press reached the splash"
    line=$(wait_line key "goneAfterKey=[0-9]+") && in_range key "${line#*=}" 0 3000
fi
finish key

# The display goes away while the splash is up: the program goes on, without a splash.
number=$work/display
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
lost_xvfb=$!
pids+=($lost_xvfb)
for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.05; done
DISPLAY=:$(tr -dc 0-9 <"$number") start lost key
if wait_line lost waiting >/dev/null; then
    kill $lost_xvfb
    wait_line lost "goneAfterKey=[0-9]+" >/dev/null
fi
finish lost

# No display, or a libX11 without the functions the splash needs: no splash, a normal run.
(cd "$work" && exec timeout 60 env -u DISPLAY -u CLASSPATH JAVA_HOME="$jdk" ./app none) \
    >"$work/nodisplay.out" 2>"$work/nodisplay.err" &
pid=$!
wait_line nodisplay "shown=false distinct=false" >/dev/null
finish nodisplay
(cd "$work" && exec timeout 60 env -u CLASSPATH LD_LIBRARY_PATH="$fake_x11" JAVA_HOME="$jdk" \
    ./app none) >"$work/nox11.out" 2>"$work/nox11.err" &
pid=$!
wait_line nox11 "shown=false distinct=false" >/dev/null
finish nox11

if [ $failures -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "splash shown, closed by every rule, and absent without display or libX11"

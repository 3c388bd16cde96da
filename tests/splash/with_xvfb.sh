#!/bin/bash
# Runs a command with DISPLAY on a private Xvfb of 1024x768 at 24 bits, which ends with it.
# Xvfb picks a free display number itself, so tests running at once never share one. Without
# -noreset it resets whenever its last client leaves, and refuses connections meanwhile: a splash
# opened just as the previous one closed would then find no display.
# Usage: with_xvfb.sh COMMAND [ARG...]
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
for _ in $(seq 200); do
    [ -s "$number" ] && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.05
done
n=$(tr -dc 0-9 <"$number")
[ -n "$n" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
DISPLAY=:$n "$@"

#!/bin/bash
# An application laid out as build tools lay it out, app.jar beside lib/ with the jars that its
# manifest's Class-Path names (real libraries from Debian, and one that is not there), packs with
# --app and -o alone, and the packed executable prints exactly what `java -jar app.jar` prints.
# Usage: manifest_app.sh ZORPACK STUB SUPPORT_JAR JDK
set -uo pipefail
zorpack=$1 stub=$2 support=$3 jdk=$4
src=$(cd "$(dirname "$0")/manifest_app" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
libs=(guava commons-lang3 commons-cli)

mkdir -p "$work/dist/lib" "$work/classes" "$work/run"
for l in "${libs[@]}"; do
    cp -L "/usr/share/java/$l.jar" "$work/dist/lib/" || { echo "FAIL: no /usr/share/java/$l.jar"; exit 1; }
done
"$jdk/bin/javac" --release 8 -nowarn -d "$work/classes" \
    -cp "$(printf "$work/dist/lib/%s.jar:" "${libs[@]}")" "$src/mapp/Main.java" || exit 1
cp "$src/mapp/note.txt" "$work/classes/mapp/"
# An optional jar that is not installed: java -jar skips it, zorpack warns and nests the others.
printf 'Main-Class: mapp.Main\nClass-Path: lib/guava.jar lib/optional.jar lib/commons-lang3.jar\n  lib/commons-cli.jar\n' \
    >"$work/manifest.txt"
"$jdk/bin/jar" --create --file "$work/dist/app.jar" --manifest "$work/manifest.txt" \
    -C "$work/classes" mapp || exit 1

"$zorpack" --stub "$stub" --support "$support" --app "$work/dist/app.jar" -o "$work/run/app" \
    2>"$work/warnings" || { echo "FAIL: zorpack refused: $(cat "$work/warnings")"; exit 1; }
grep -qxF "zorpack: warning: the jar $work/dist/lib/optional.jar named by the Class-Path of $work/dist/app.jar does not exist: it is not nested" \
    "$work/warnings" || { echo "FAIL: no warning about lib/optional.jar: $(cat "$work/warnings")"; exit 1; }
args=(-n "zor user" --verbose b a c)
expected=$(cd "$work/dist" && timeout 120 "$jdk/bin/java" -jar app.jar "${args[@]}" 2>&1)
actual=$(cd "$work/run" && timeout 120 env -u CLASSPATH JAVA_HOME="$jdk" ./app "${args[@]}" 2>&1)
rc=$?
if [ "$rc" -ne 0 ] || [ -z "$expected" ] || [ "$actual" != "$expected" ]; then
    echo "FAIL: exit code $rc; packed output differs from java -jar:
--- packed
$actual
--- java -jar
$expected"
    exit 1
fi
echo "manifest-driven pack: $(wc -l <<<"$actual") lines, the same as java -jar"

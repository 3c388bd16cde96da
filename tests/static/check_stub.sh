#!/bin/bash
# Static checks of a Windows launcher stub: PE kind, GUI subsystem (console subsystem with
# --console, for programs packed with zorpack --console), only system DLLs imported, string
# tables in the three languages.
# Usage: check_stub.sh [--console] win32|win64 STUB.exe [OBJDUMP]. Prints "FAIL: ..." for each
# failure.
set -uo pipefail
subsystem='00000002[[:space:]]+\(Windows GUI\)' subsystem_name=GUI
if [ "$1" = --console ]; then
    subsystem='00000003[[:space:]]+\(Windows CUI\)' subsystem_name=console
    shift
fi
target=$1
stub=$2
objdump=${3:-objdump}
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

[ -f "$stub" ] || { echo "FAIL: no file $stub"; exit 1; }
headers=$(timeout 60 "$objdump" -p "$stub") || { echo "FAIL: objdump cannot read $stub"; exit 1; }

case "$target" in
win32) magic='010b' kind='PE32' pattern='PE32' ;;
win64) magic='020b' kind='PE32+' pattern='PE32\+' ;;
*) echo "FAIL: unknown target $target"; exit 1 ;;
esac
grep -Eq "^Magic[[:space:]]+$magic[[:space:]]+\\($pattern\\)" <<<"$headers" ||
    fail "kind: not $kind ($(grep -E '^Magic' <<<"$headers"))"
grep -Eq "^Subsystem[[:space:]]+$subsystem" <<<"$headers" ||
    fail "subsystem: not the $subsystem_name subsystem ($(grep -E '^Subsystem' <<<"$headers"))"

dlls=$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$headers")
[ -n "$dlls" ] || fail "imports: no DLL imports found"
while read -r dll; do
    [ -z "$dll" ] && continue
    lower=${dll,,}
    case "$lower" in
    kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
    *) fail "imports: $dll is not a system DLL" ;;
    esac
done <<<"$dlls"

resources=$(timeout 60 wrestool -l "$stub") || fail "resources: wrestool cannot read $stub"
for language in 1033 1028 2052; do
    grep -Eq -- "--type=6 .*--language=$language " <<<"$resources" ||
        fail "string table: none in language $language"
done

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "$stub: $kind, $subsystem_name subsystem, system DLLs only ($(tr '\n' ' ' <<<"$dlls")), string tables in 1033 1028 2052"

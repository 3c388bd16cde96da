#!/bin/bash
# The application manifest of a Windows program: exactly one RT_MANIFEST resource, id 1, that
# parses as XML and declares asInvoker, Windows 7 to 11, per-monitor DPI awareness and
# Common Controls 6. With EXPECTED, the manifest must instead be that file, byte for byte.
# Usage: check_manifest.sh PROGRAM.exe [EXPECTED]. Prints "FAIL: ..." for each failure.
set -uo pipefail
program=$1
expected=${2:-}
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing=$(timeout 60 wrestool -l --type=24 "$program") || { echo "FAIL: manifest: wrestool cannot read $program"; exit 1; }
count=$(grep -c -- '--type=24 ' <<<"$listing")
[ "$count" -eq 1 ] || fail "manifest: $count RT_MANIFEST resources in $program, expected 1: $listing"
grep -Eq -- "--type=24 --name=1 --language=[0-9]+ " <<<"$listing" || fail "manifest: no RT_MANIFEST 1"
timeout 60 wrestool -x --raw --type=24 --name=1 "$program" >"$work/manifest.xml" 2>/dev/null
[ -s "$work/manifest.xml" ] || { echo "FAIL: manifest: cannot extract RT_MANIFEST 1"; exit 1; }

if [ -n "$expected" ]; then
    cmp -s "$work/manifest.xml" "$expected" || fail "manifest: not the contents of $expected"
else
    xmllint --noout "$work/manifest.xml" 2>"$work/err" || fail "manifest: not well-formed XML: $(cat "$work/err")"
    xpath() { xmllint --xpath "$1" "$work/manifest.xml" 2>/dev/null; }
    element() { echo "//*[local-name()='$1' and namespace-uri()='$2']"; }
    [ "$(xpath "count(/*[local-name()='assembly' and namespace-uri()='urn:schemas-microsoft-com:asm.v1'])")" = 1 ] ||
        fail "manifest: the root is not <assembly> of urn:schemas-microsoft-com:asm.v1"
    level=$(xpath "string($(element requestedExecutionLevel urn:schemas-microsoft-com:asm.v3)/@level)")
    [ "$level" = asInvoker ] || fail "manifest: execution level '$level', expected asInvoker"
    compatibility=urn:schemas-microsoft-com:compatibility.v1
    # Windows 7, 8, 8.1, and 10 (which Windows 11 shares).
    for id in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
        1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        [ "$(xpath "count($(element supportedOS $compatibility)[@Id='{$id}'])")" = 1 ] ||
            fail "manifest: no supportedOS {$id}"
    done
    aware=$(xpath "string($(element dpiAware http://schemas.microsoft.com/SMI/2005/WindowsSettings))")
    [ "${aware,,}" = true/pm ] || fail "manifest: dpiAware '$aware', expected true/PM"
    awareness=$(xpath "normalize-space($(element dpiAwareness http://schemas.microsoft.com/SMI/2016/WindowsSettings))")
    [[ "$awareness" == PerMonitorV2,* ]] || fail "manifest: dpiAwareness '$awareness' does not begin with PerMonitorV2"
    controls="$(element dependentAssembly urn:schemas-microsoft-com:asm.v1)/*[local-name()='assemblyIdentity']"
    controls+="[@name='Microsoft.Windows.Common-Controls' and @version='6.0.0.0' and @publicKeyToken='6595b64144ccf1df']"
    [ "$(xpath "count($controls)")" = 1 ] || fail "manifest: no dependency on Common Controls 6"
fi

if [ "$failures" -gt 0 ]; then
    exit 1
fi
if [ -n "$expected" ]; then
    echo "$program: manifest equal to $expected"
else
    echo "$program: manifest with asInvoker, Windows 7 to 11, per-monitor DPI awareness, Common Controls 6"
fi

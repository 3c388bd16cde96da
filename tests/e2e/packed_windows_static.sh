#!/bin/bash
# Windows programs packed by zorpack from the real stub, checked statically: the stub's
# manifest survives the resource rewrite (with an application and a splash bitmap added),
# --manifest replaces it, and --console makes a console program that passes the stub checks.
# Usage: packed_windows_static.sh TARGET ZORPACK STUB.exe SUPPORT_JAR APP_JAR OBJDUMP
set -uo pipefail
target=$1 zorpack=$2 stub=$3 support=$4 app_jar=$5 objdump=$6
static=$(cd "$(dirname "$0")/../static" && pwd)
if [ ! -f "$stub" ]; then
    [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && { echo "FAIL: $stub is not built"; exit 1; }
    echo "SKIP: $stub is not built (build the $target preset first)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pack() {
    "$zorpack" --target "$target" --stub "$stub" --support "$support" --main-class app.Main \
        --app "$app_jar" "$@" || { echo "FAIL: zorpack refused $*"; exit 1; }
}

# A 2x2 24-bit bitmap: file header, info header, two rows of 8 bytes.
{ printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0'
  printf '\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0'
  printf '\0%.0s' $(seq 16)
  printf '\xff%.0s' $(seq 16); } >"$work/splash.bmp"
pack --splash "$work/splash.bmp" -o "$work/app.exe"
"$static/check_manifest.sh" "$work/app.exe" || fail "the stub's manifest did not survive packing"
"$static/check_stub.sh" "$target" "$work/app.exe" "$objdump" || fail "the packed program fails the stub checks"

cat >"$work/own.manifest" <<'XML'
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security><requestedPrivileges><requestedExecutionLevel level="requireAdministrator"/></requestedPrivileges></security>
  </trustInfo>
</assembly>
XML
pack --console --manifest "$work/own.manifest" -o "$work/console.exe"
"$static/check_manifest.sh" "$work/console.exe" "$work/own.manifest" || fail "--manifest did not replace the manifest"
# The content checks catch a manifest that lacks what the stub's declares.
verdict=$("$static/check_manifest.sh" "$work/console.exe")
for missing in "execution level 'requireAdministrator'" "supportedOS" "dpiAware ''" "dpiAwareness ''" \
    "Common Controls 6"; do
    grep -Fq "$missing" <<<"$verdict" || fail "check_manifest.sh overlooks: $missing ($verdict)"
done
"$static/check_stub.sh" --console "$target" "$work/console.exe" "$objdump" || fail "the --console program fails the stub checks"

[ "$failures" -eq 0 ] && echo "packed $target programs: manifest kept and replaced, console subsystem with --console"
[ "$failures" -eq 0 ]

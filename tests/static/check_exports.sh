#!/bin/bash
# The Windows stub exports the seven natives of the support classes under the names the VM
# looks up: plain JNI names on win64, stdcall-decorated ones ("_" + name + "@" + argument
# bytes) on win32.
# Usage: check_exports.sh win32|win64 STUB.exe [OBJDUMP]
set -uo pipefail
target=$1 stub=$2 objdump=${3:-objdump}
exports=$(timeout 60 "$objdump" -p "$stub" | sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\] (.*)$/\1/p')
[ -n "$exports" ] || { echo "FAIL: $stub exports nothing"; exit 1; }
failures=0
prefix=Java_com_tarnwick_zor_
for native in LumbrixClassLoader_findClass:12 LumbrixClassLoader_findResource:12 \
    LumbrixClassLoader_findResources:12 Handler_loadResourceData:12 \
    SplashScreen_nativeGetSplashScreen:8 SplashScreen_nativeAutoClose:12 SplashScreen_nativeClose:8; do
    name=$prefix${native%:*}
    [ "$target" = win32 ] && name="_$name@${native#*:}"
    grep -qxF -- "$name" <<<"$exports" || { echo "FAIL: no export $name"; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] && echo "$stub exports the seven natives"
[ "$failures" -eq 0 ]

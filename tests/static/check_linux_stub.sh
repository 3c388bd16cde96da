#!/bin/bash
# The Linux stub users get must start on old distributions: no glibc symbol version above 2.17,
# and no shared library beyond libc, libdl and libpthread (zlib and the C++ runtime linked in).
# Usage: check_linux_stub.sh STUB
set -u
stub=$1
fail=0
[ -f "$stub" ] || { echo "FAIL: no stub at $stub"; exit 1; }
max=$(objdump -T "$stub" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -1)
if [ -z "$max" ]; then
    echo "FAIL: no versioned glibc symbol found (not a dynamic glibc program?)"
    fail=1
elif [ "$(printf '%s\n2.17\n' "$max" | sort -V | tail -1)" != "2.17" ]; then
    echo "FAIL: needs GLIBC_$max:"
    objdump -T "$stub" | grep -E "GLIBC_(2\.(1[89]|[2-9][0-9])|[3-9])" | head -20
    fail=1
fi
while read -r lib; do
    case "$lib" in
        libc.so.6 | libdl.so.2 | libpthread.so.0 | ld-linux-x86-64.so.2) ;;
        *) echo "FAIL: needs $lib"; fail=1 ;;
    esac
done < <(readelf -d "$stub" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
# Still loadable by System.load: the PIE bit cleared, as for the native stub.
if readelf -d "$stub" | grep -q 'FLAGS_1.*PIE'; then
    echo "FAIL: DF_1_PIE still set"
    fail=1
fi
[ $fail -eq 0 ] && echo "ok: GLIBC_$max at most; needs $(readelf -d "$stub" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')"
exit $fail

#!/bin/bash
# Dependencies between the system's folders point down: text types, platform, configuration
# and archives, VM host and splash, launcher. Each folder may include its own headers and
# those of the folders (or single headers) listed for it below; anything else is reported.
# Usage: check_layers.sh SOURCE_DIR
set -u
root=$1
fail=0
# check FOLDER ALLOWED...: an allowed entry is a folder ("config") or one header.
check() {
    local folder=$1 file target allowed ok
    shift
    while IFS= read -r hit; do
        file=${hit%%:*}
        target=${hit#*\"}
        target=${target%\"}
        [ "${target%%/*}" = "$folder" ] && continue
        ok=0
        for allowed in "$@"; do
            [[ $target == "$allowed" || $target == "$allowed"/* ]] && ok=1
        done
        if [ $ok -eq 0 ]; then
            echo "FAIL: ${file#"$root"/} includes $target"
            fail=1
        fi
    done < <(grep -rHo '^#include "[a-z_]*/[^"]*"' "$root/$folder" --include='*.cpp' --include='*.h')
}
# The text types convert through the platform's code page functions.
check common platform/codepage.h
check platform common
check config common platform
# The JNI helpers are a library of their own that the VM host, the archive natives and the
# splash natives share; they sit beside the VM host, and nothing else of it is reachable.
check archive common platform vmhost/jni_support.h
check vmhost common platform
check splash common platform vmhost/jni_support.h
check launcher common platform config archive vmhost splash
# zorpack: the portable readers only, never a platform implementation.
check packer common platform/dib_image.h platform/resource_block.h
[ $fail -eq 0 ] && echo "ok: every include points down"
exit $fail

#!/bin/bash
# Usage: without_default_java.sh PROGRAM [ARG...]: runs PROGRAM with an empty folder mounted
# over /usr/lib/jvm in a private mount namespace. Exits 77 (skipped) where no such namespace
# can be made (user namespaces switched off).
unshare -rm true 2>/dev/null || { echo "no private mount namespace here"; exit 77; }
empty=$(mktemp -d)
trap 'rmdir "$empty"' EXIT
unshare -rm bash -c '
    mount --bind "$1" /usr/lib/jvm || exit 1
    [ ! -e /usr/lib/jvm/default-java ] || { echo "default-java still visible"; exit 1; }
    shift
    exec "$@"' - "$empty" "$@"

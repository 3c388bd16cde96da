#!/bin/sh
# Rebuilds the support archive in a scratch folder under another time zone and umask, and
# compares it byte for byte with the archive of the build.
# rebuild_support_jar.sh <cmake> <ecj> <jdk> <zip> <java/src> <BuildSupportJar.cmake> <built jar>
set -eu
cmake=$1 ecj=$2 jdk=$3 zip=$4 src=$5 script=$6 built=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
    umask 077
    # A POSIX time zone 13:45 ahead of UTC; needs no time zone data.
    TZ=XYZ-13:45 "$cmake" -DECJ="$ecj" -DJDK="$jdk" -DZIP="$zip" -DSOURCE_DIR="$src" \
        -DWORK_DIR="$work/build" -DOUTPUT="$work/zor-support.jar" -P "$script" >/dev/null
)
if cmp "$built" "$work/zor-support.jar"; then
    echo "rebuilt support archive is identical"
else
    echo "rebuilt support archive differs from $built"
    exit 1
fi

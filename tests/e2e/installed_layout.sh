#!/bin/bash
# zorpack as installed by `cmake --install` and as unpacked from the Debian package that cpack
# makes: it finds its stubs and support archive on its own, packs the example application,
# and the result runs. The installed stubs carry no symbols or debug sections; the Maven plugin
# is installed too.
# Usage: installed_layout.sh BUILD_DIR JDK
set -uo pipefail
build=$1 jdk=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# try PREFIX: packs with PREFIX/bin/zorpack alone and runs the result.
try() {
    local prefix=$1 name
    name=$(basename "$prefix")
    mkdir -p "$work/run-$name"
    "$prefix/bin/zorpack" --app "$build/examples/hello.jar" --lib "$build/examples/greetings.jar" \
        -o "$work/run-$name/hello" || { fail "$name: zorpack refused"; return; }
    out=$(cd "$work/run-$name" && timeout 120 env JAVA_HOME="$jdk" ./hello 2>&1)
    grep -q '^service provider: greetings.FriendlyGreeter' <<<"$out" ||
        fail "$name: the packed example printed: $out"
    # The Maven plugin, where Debian keeps Maven artifacts (built where mvn is installed).
    if command -v mvn >/dev/null; then
        ls "$prefix"/share/maven-repo/com/tarnwick/zor/zor-maven-plugin/*/zor-maven-plugin-*.{jar,pom} \
            >/dev/null 2>&1 || fail "$name: no Maven plugin under share/maven-repo"
    fi
    file -L "$prefix/lib/zor/stubs/linux/zor-launcher" | grep -q ', stripped' ||
        fail "$name: the linux stub is not stripped"
    for target in win64 win32; do
        stub=$prefix/lib/zor/stubs/$target/zor-launcher.exe
        if [ ! -f "$stub" ]; then
            [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && fail "$name: no $target stub installed"
            continue
        fi
        objdump -h "$stub" | grep -q -e '\.debug' -e ' \.symtab' && fail "$name: $stub has debug sections"
        "$prefix/bin/zorpack" --target "$target" --app "$build/examples/hello.jar" \
            -o "$work/run-$name/hello-$target.exe" || fail "$name: zorpack refused $target"
    done
}

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$work/install.log")"
try "$work/prefix"

(cd "$build" && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -1)
if [ -n "$deb" ]; then
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb could not unpack $deb"
    dpkg-deb -f "$deb" Depends | grep -q libzip4 || fail "the package does not depend on libzip4"
    try "$work/root/usr"
else
    fail "cpack made no .deb"
fi

[ "$failures" -eq 0 ] && echo "installed and packaged zorpack: packs and runs"
[ "$failures" -eq 0 ]

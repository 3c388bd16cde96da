#!/bin/bash
# The Maven plugin as a user meets it: zor installed with `cmake --install`, examples/hello-maven
# copied apart and built with `mvn -o package` against Debian's repository. The plugin finds
# the installed zorpack beside itself (a zorpack earlier on PATH is never taken), writes the
# executables, and the Linux one prints what `java -cp` prints on the same jars; a main class
# that no archive holds fails the build with zorpack's refusal; -Dzor.skip writes nothing.
# Usage: maven_plugin.sh BUILD_DIR SOURCE_DIR JDK MAVEN_REPO
set -uo pipefail
build=$1 source=$2 jdk=$3 system_repo=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { echo "FAIL: cmake --install: $(cat "$work/install.log")"; exit 1; }
# A local repository that Maven may write to: links into Debian's, and zor's own group from
# the installation. Debian's repository itself is never written.
mkdir -p "$work/repo" "$work/bin"
ln -s "$system_repo"/* "$work/repo/" && rm "$work/repo/com" && mkdir "$work/repo/com" &&
    ln -s "$system_repo"/com/* "$work/repo/com/" &&
    ln -sfn "$work/prefix/share/maven-repo/com/tarnwick" "$work/repo/com/tarnwick" ||
    { echo "FAIL: cannot lay out the local repository"; exit 1; }
printf '#!/bin/sh\necho "the zorpack on PATH ran"; exit 3\n' >"$work/bin/zorpack"
chmod +x "$work/bin/zorpack"

targets=linux,win64
if [ ! -f "$work/prefix/lib/zor/stubs/win64/zor-launcher.exe" ]; then
    [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && fail "no win64 stub installed"
    targets=linux
fi
cp -r "$source/examples/hello-maven" "$work/app"
cd "$work/app" || exit 1
mvn_package() {
    PATH="$work/bin:$PATH" JAVA_HOME=$jdk timeout 240 mvn -o -B -Dmaven.repo.local="$work/repo" \
        -Dzor.targets=$targets "$@" package >"$work/mvn.log" 2>&1
}

mvn_package || fail "mvn package: $(tail -40 "$work/mvn.log")"
lang3=$system_repo/org/apache/commons/commons-lang3/3.12.0/commons-lang3-3.12.0.jar
expected=$("$jdk/bin/java" -Dhello.greeting=packed -cp "target/hello-maven-1.0.0.jar:$lang3" \
    hello.maven.Main "one arg" two 2>&1)
out=$(JAVA_HOME=$jdk timeout 120 target/hello-maven "one arg" two 2>&1)
[ "$out" = "$expected" ] && grep -q '^library: Apache Commons Lang 3.12.0$' <<<"$out" ||
    fail "the packed program printed:
$out
java -cp printed:
$expected"
if [ $targets = linux,win64 ]; then
    file target/hello-maven.exe | grep -q 'PE32+ executable (console) x86-64' ||
        fail "target/hello-maven.exe: $(file target/hello-maven.exe)"
fi

rm -rf target
mvn_package -Dzor.mainClass=hello.maven.Missing && fail "a missing main class did not fail the build"
grep -q 'zorpack: the main class hello.maven.Missing is not in .*hello-maven-1.0.0.jar nor in its libraries' \
    "$work/mvn.log" || fail "the build did not give zorpack's refusal: $(grep ERROR "$work/mvn.log" | head)"
[ -e target/hello-maven ] && fail "a refused pack left target/hello-maven"

rm -rf target
mvn_package -Dzor.skip || fail "mvn package -Dzor.skip: $(tail -40 "$work/mvn.log")"
[ -f target/hello-maven-1.0.0.jar ] || fail "-Dzor.skip: no jar"
ls target | grep -q '^hello-maven\(\.exe\)\?$' && fail "-Dzor.skip wrote $(ls target)"

[ "$failures" -eq 0 ] && echo "maven plugin: packed $targets, output as java -cp, refusal and skip as expected"
[ "$failures" -eq 0 ]

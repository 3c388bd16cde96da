#!/bin/bash
# Applications packed with zorpack run from the executable alone: classes, nested jars,
# resources, "zor:" URLs, many threads at first use, and a library we did not write.
# Usage: packed_app.sh SCENARIO ZORPACK STUB SUPPORT_JAR JARS_DIR JDK
#   SCENARIO: classes | resources | urls | threads | cli | origin | multirelease | mainfail |
#             exit_race
set -uo pipefail
scenario=$1 zorpack=$2 stub=$3 support=$4 jars=$5 jdk=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# pack NAME ZORPACK-ARGS...: a packed executable alone in a folder of its own.
pack() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    "$zorpack" --target linux --stub "$stub" --support "$support" -o "$work/$name/app" "$@" ||
        { fail "$name: zorpack failed"; return 1; }
}
# run NAME ARGS...: runs it from its folder with the runtime found through JAVA_HOME.
run() {
    local name=$1
    shift
    (cd "$work/$name" && timeout 120 env -u CLASSPATH -u CLASS_PATH JAVA_HOME="$jdk" ./app "$@") \
        >"$work/$name.out" 2>"$work/$name.err"
    rc=$?
    out=$(cat "$work/$name.out")
    [ "$rc" -eq 0 ] || fail "$name: exit code $rc; stderr: $(cat "$work/$name.err")"
}
expect() { grep -qxF -- "$2" <<<"$out" || fail "$1: no line '$2' in: $out"; }
# same_as_java NAME CLASS_PATH MAIN: what the last run printed is what `java -cp` prints, but
# for "url=" lines (a jar: URL names the versioned entry, a zor: URL the name asked for).
same_as_java() {
    local expected packed
    expected=$(timeout 120 "$jdk/bin/java" -cp "$2" "$3" | grep -v '^url=')
    packed=$(grep -v '^url=' <<<"$out")
    [ -n "$expected" ] && [ "$packed" = "$expected" ] || fail "$1: packed output differs from java -cp:
--- packed
$packed
--- java -cp
$expected"
}

case $scenario in
classes)
    pack classes --main-class app.Main --app "$jars/app.jar" && run classes classes
    expect classes "loader=com.tarnwick.zor.LumbrixClassLoader"
    expect classes "context=com.tarnwick.zor.LumbrixClassLoader"
    expect classes "inner=inner"
    expect classes 'anonymous=app.Main$1'
    expect classes "many=40"
    expect classes "nestedOnly=nested-only"
    expect classes "nestedLoader=com.tarnwick.zor.LumbrixClassLoader"
    expect classes "twice=top"
    expect classes "missingClass=ClassNotFoundException"
    ls "$work/classes" | grep -qvx app && fail "classes: files appeared beside the executable"
    ;;
resources)
    pack resources --main-class app.Main --app "$jars/app.jar" && run resources resources
    expect resources 'url=zor:data\hello.txt'
    expect resources 'nestedUrl=zor:lib\x.jar!nested\res.txt'
    expect resources 'addressedUrl=zor:lib\x.jar!nested\res.txt'
    expect resources 'appendedLast=zor:com\tarnwick\zor\Handler.class'
    expect resources "missingUrl=null"
    expect resources "stream=hello resource"
    expect resources "classStream=hello resource"
    expect resources "empty=-1"
    expect resources "contentType=text/plain"
    expect resources "twoReads=true"
    expect resources 'shared=[zor:data\shared.txt|shared from top, zor:lib\x.jar!data\shared.txt|shared from nested]'
    expect resources "services=[top, nested]"
    expect resources "missingStream=FileNotFoundException zor:no/such.txt"
    ;;
urls)
    pack urls --main-class app.Main --app "$jars/app.jar" &&
        run urls urls 'zor:data\hello.txt' 'zor:data/hello.txt' 'ZOR:data/hello.txt' \
            'zor:data/with%20space.txt' 'zor:data/a+b.txt' 'zor:data/plus+space.txt' \
            'zor:data/100%' 'zor:lib\x.jar!nested\res.txt' 'zor:lib/x.jar!nested/res.txt' \
            'zor:data/missing.txt' 'zor:!data/hello.txt'
    expect urls 'zor:data\hello.txt=hello resource'
    expect urls 'zor:data/hello.txt=hello resource'
    expect urls 'ZOR:data/hello.txt=hello resource'
    expect urls 'zor:data/with%20space.txt=with a space'
    expect urls 'zor:data/a+b.txt=literal plus'
    expect urls 'zor:data/plus+space.txt=plus became a space'
    expect urls 'zor:data/100%=percent at the end'
    expect urls 'zor:lib\x.jar!nested\res.txt=nested resource'
    expect urls 'zor:lib/x.jar!nested/res.txt=nested resource'
    expect urls 'zor:data/missing.txt=FileNotFoundException'
    expect urls 'zor:!data/hello.txt=FileNotFoundException'
    ;;
threads)
    pack threads --main-class driver.Threads --set "classpath=$jars/driver.jar" --app "$jars/app.jar" &&
        run threads
    expect threads "classes=16/16"
    expect threads "consistent=true"
    expect threads "texts=hello resource|nested resource"
    ;;
cli)
    pack cli --main-class clidrv.CliDriver --app "$jars/cli.jar" &&
        run cli -n "zor user" -c 2 --verbose rest1 rest2
    expected=$(timeout 120 "$jdk/bin/java" -cp "$jars/clidrv.jar:$jars/cli/lib/commons-cli.jar" \
        clidrv.CliDriver -n "zor user" -c 2 --verbose rest1 rest2)
    [ -n "$expected" ] || fail "cli: java -cp printed nothing"
    [ "$out" = "$expected" ] || fail "cli: packed output differs from java -cp:
--- packed
$out
--- java -cp
$expected"
    ;;
exit_race)
    # Threads inside the natives while main calls System.exit: nothing they use may be freed
    # (scripts/test runs this against the ASan build of the stub). Three rounds, as it races.
    pack exit_race --main-class driver.ExitRace --set "classpath=$jars/driver.jar" \
        --app "$jars/race.jar" || exit 1
    for round in 1 2 3; do
        run exit_race
        expect "exit_race $round" "exiting"
    done
    ;;
origin)
    # Code source and package versions as `java -cp` gives them; only the location differs.
    pack origin --main-class origin.Origin --app "$jars/origin-app.jar" && run origin
    expect origin "where.location=file:$work/origin/app"
    expect origin "where.folder=$work/origin"
    expect origin "where.libLocation=file:$work/origin/app"
    expect origin "where.domainLoader=com.tarnwick.zor.LumbrixClassLoader"
    expect origin "own=origin api[Origin Own Package|2.5|zor] implementation[origin|2.5.1-own|zor tests]"
    expect origin "plain=origin.plain api[Origin Test|2.5|zor] implementation[origin|2.5.0|zor tests]"
    expect origin "missing=ClassNotFoundException missing.X"
    expect origin "lib=org.apache.commons.lang3 api[Apache Commons Lang|3.12|null] implementation[Apache Commons Lang|3.12.0|null]"
    expect origin "bare=bare api[null|null|null] implementation[null|null|null]"
    expected=$(timeout 120 "$jdk/bin/java" \
        -cp "$jars/origin.jar:$jars/origin/lib/commons-lang3.jar:$jars/bare.jar" \
        origin.Origin | grep -v '^where\.')
    [ -n "$expected" ] || fail "origin: java -cp printed nothing"
    packed=$(grep -v '^where\.' <<<"$out")
    [ "$packed" = "$expected" ] || fail "origin: packed output differs from java -cp:
--- packed
$packed
--- java -cp
$expected"
    # A manifest that cannot be parsed counts as none: the classes still load.
    pack badmanifest --main-class origin.Origin --app "$jars/origin-badmanifest.jar" &&
        run badmanifest
    expect badmanifest "own=origin api[null|null|null] implementation[null|null|null]"
    expect badmanifest "lib=org.apache.commons.lang3 api[Apache Commons Lang|3.12|null] implementation[Apache Commons Lang|3.12.0|null]"
    # The loader's ClassNotFoundException does not stop the launcher's own main-class lookup:
    # a class that neither finds is still reported as missing.
    # (zorpack refuses a main class that no archive holds unless a class path of the
    # configuration may hold it: one that does not exist lets the launcher meet the case.)
    pack nomain --main-class missing.Main --set classpath=nowhere.jar --app "$jars/origin-app.jar" &&
        (cd "$work/nomain" && timeout 120 env JAVA_HOME="$jdk" ./app >"$work/nomain.out" 2>&1)
    rc=$?
    [ "$rc" -eq 7 ] || fail "nomain: exit code $rc, expected 7"
    grep -qF "Error: The main startup class could not be found." "$work/nomain.out" ||
        fail "nomain: no message in: $(cat "$work/nomain.out")"
    ;;
multirelease)
    # A multi-release library as the application archive and nested with --lib, and the same
    # entries without the attribute, each on this runtime as `java -cp` serves them.
    vm=(--main-class mrapp.Main --set "jvmdll=$jdk/lib/server/libjvm.so")
    pack mrapp "${vm[@]}" --app "$jars/mr.jar" && run mrapp &&
        same_as_java mrapp "$jars/mr.jar" mrapp.Main
    expect mrapp "META-INF/versions/99/mr/which.txt=V99"
    expect mrapp "url=mr/which.txt"
    pack mrlib "${vm[@]}" --app "$jars/mrdriver.jar" --lib "$jars/mr.jar" && run mrlib &&
        same_as_java mrlib "$jars/mrdriver.jar:$jars/mr.jar" mrapp.Main
    expect mrlib "url=mr/which.txt"
    pack mrplain "${vm[@]}" --app "$jars/mrplain.jar" && run mrplain &&
        same_as_java mrplain "$jars/mrplain.jar" mrapp.Main
    expect mrplain "class=V00"
    ;;
mainfail)
    # A main class whose initializer throws fails as under java: exit code 1 and standard error
    # as java's, no launch error. One without main is still launch error 8.
    declare -A code
    for main in MainInitFails Twice; do
        pack $main --main-class app.$main --app "$jars/app.jar" &&
            (cd "$work/$main" && timeout 120 env JAVA_HOME="$jdk" ./app >/dev/null 2>"$work/$main.err")
        code[$main]=$?
    done
    expected=$(timeout 120 "$jdk/bin/java" -cp "$jars/app.jar" app.MainInitFails 2>&1)
    [ "${code[MainInitFails]}" -eq 1 ] && [ "$(cat "$work/MainInitFails.err")" = "$expected" ] ||
        fail "MainInitFails: exit code ${code[MainInitFails]}, standard error: $(cat "$work/MainInitFails.err")"
    [ "${code[Twice]}" -eq 8 ] && grep -q "main method missing" "$work/Twice.err" ||
        fail "Twice: exit code ${code[Twice]}, standard error: $(cat "$work/Twice.err")"
    ;;
*)
    fail "unknown scenario $scenario"
    ;;
esac

[ "$failures" -eq 0 ] && echo "packed $scenario: all checks passed"
[ "$failures" -eq 0 ]

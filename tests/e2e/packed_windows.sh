#!/bin/bash
# A Windows executable (win64 or win32) packed by zorpack and signed, run under wine against the
# test-double VM of its target: the configuration comes from the appended archive's comment,
# a .cfg beside the executable comes first, the application archive travels as resource 128,
# and the VM finds the program's natives by the names a VM of that kind looks up and gets
# the application's classes and resources through them: a class defined with the program's
# file as its code source, its package first with the attributes of the archive's manifest,
# and the entries of a multi-release archive for the version the VM reports.
# Usage: packed_windows.sh win64|win32 ZORPACK STUB.exe SUPPORT_JAR FAKE_JVM.dll APP_JAR WINEPREFIX
set -uo pipefail
target=$1 zorpack=$2 stub=$3 support=$4 fake_jvm=$5 app_jar=$6
export WINEPREFIX=$7
wine_run=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run
if [ "$target" = win32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "SKIP: the 32-bit wine cannot start on this machine"
    exit 77
fi
for f in "$stub" "$fake_jvm"; do
    if [ ! -f "$f" ]; then
        # Skipped (77) when only the linux preset is built; scripts/test builds them all.
        [ "${ZOR_REQUIRE_ALL_TARGETS:-}" = 1 ] && { echo "FAIL: $f is not built"; exit 1; }
        echo "SKIP: $f is not built (build the $target preset first)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:${1//\//\\}"; }
. "$(dirname "$0")/resource128.sh"

# The application's archive with a manifest: the package's own section overrides the main one.
# It is multi-release: on the runtime of feature version 17 that the VM reports, versions 11
# (one byte more of the main class, another text) serve and 99 does not.
mkdir -p "$work/manifest/META-INF" "$work/manifest/META-INF/versions/11/app" \
    "$work/manifest/META-INF/versions/"{11,99}/data
printf 'Manifest-Version: 1.0\nMulti-Release: true\nSpecification-Version: 3\nImplementation-Title: packed\n  app\nImplementation-Version: 3.0\n\nName: app/\nImplementation-Version: 3.1-app\n\n' \
    >"$work/manifest/META-INF/MANIFEST.MF"
{ unzip -p "$app_jar" app/Main.class; printf x; } >"$work/manifest/META-INF/versions/11/app/Main.class"
for v in 11 99; do printf 'hello %s\n' $v >"$work/manifest/META-INF/versions/$v/data/hello.txt"; done
cp "$app_jar" "$work/app.jar"
(cd "$work/manifest" && zip -qr "$work/app.jar" META-INF) || { echo "FAIL: zip"; exit 1; }
app_jar=$work/app.jar

pack() {
    "$zorpack" --target "$target" --stub "$1" --support "$support" --main-class app.Main \
        --set "option=-Xembedded" --set "property=emb.prop=%ZOR_PACKED_VALUE%" \
        --set "jre_order=c" --set "jvmdll=$(winpath "$fake_jvm")" --app "$app_jar" \
        -o "$2" || { echo "FAIL: zorpack refused"; exit 1; }
}
# The program is signed after packing, as a publisher does, with a throw-away certificate;
# what follows runs the signed program. A signed stub packs to the same bytes as the unsigned
# one: its certificate table and directory entry are gone, so the output is signable.
sign() {
    osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "zor test" -in "$1" \
        -out "$2" >"$work/sign.log" 2>&1 || fail "osslsigncode sign $1: $(cat "$work/sign.log")"
}
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=zor test publisher" >/dev/null 2>&1 || { echo "FAIL: openssl req"; exit 1; }
mkdir "$work/unsigned" "$work/from-signed-stub"
pack "$stub" "$work/unsigned/app.exe"
sign "$stub" "$work/signed-stub.exe"
pack "$work/signed-stub.exe" "$work/from-signed-stub/app.exe"
cmp -s "$work/unsigned/app.exe" "$work/from-signed-stub/app.exe" ||
    fail "packed from a signed stub, the program differs from one packed from the unsigned stub"
sign "$work/unsigned/app.exe" "$work/app.exe"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/app.exe" >"$work/verify.log" 2>&1 ||
    fail "the signed program does not verify: $(cat "$work/verify.log")"
printf 'option -Xfromcfg\r\nproperty cfg.prop=1\r\n' >"$work/app.cfg"

ZOR_FAKE_JVM_LOG=$(winpath "$work/vm.log") ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=app/Main ZOR_FAKE_JVM_SPECIFICATION=17 \
    ZOR_FAKE_JVM_NATIVES='app.Main|data/shared.txt|zor:data/hello.txt' ZOR_PACKED_VALUE=expanded ZOR_WINE_TIMEOUT=150 "$wine_run" "$work/app.exe" >"$work/out" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc: $(cat "$work/out")"
options=$(grep '^option ' "$work/vm.log" 2>/dev/null | tr -d '\r')
exe=$(winpath "$work/app.exe")
expected="option -Xfromcfg
option -Xembedded
option -Dcfg.prop=1
option -Demb.prop=expanded
option -Djava.class.path=$exe
option -Dzor.app.path=$exe
option -Dapplication.home=$(winpath "$work")\\"
[ "$options" = "$expected" ] || fail "options the VM received:
$options
expected:
$expected"
grep -q 'app/Main' "$work/vm.log" || fail "the main class app.Main was not looked up: $(cat "$work/vm.log")"

# The natives, looked up as a VM of the target's kind does (a 32-bit VM tries the
# stdcall-decorated name first), and what they served from the packed program.
natives=$(grep -E '^(native|define(Class|Package)|findClass|findResource|loadResourceData|nativeGet|unexpected)' \
    "$work/vm.log" 2>/dev/null | tr -d '\r')
expected_natives=""
for native in LumbrixClassLoader_findClass:12 LumbrixClassLoader_findResource:12 \
    LumbrixClassLoader_findResources:12 Handler_loadResourceData:12 \
    SplashScreen_nativeGetSplashScreen:8 SplashScreen_nativeAutoClose:12 SplashScreen_nativeClose:8; do
    name=Java_com_tarnwick_zor_${native%:*}
    symbol=$name
    [ "$target" = win32 ] && symbol="_$name@${native#*:}"
    expected_natives+="native $name as $symbol"$'\n'
done
main_size=$(unzip -p "$app_jar" META-INF/versions/11/app/Main.class | wc -c)
expected_natives+="definePackage app null|3|null|packed app|3.1-app|null sealBase null
defineClass app.Main $main_size bytes cafebabe domain file:/${exe//\\//}
findClass app.Main -> defined
findResource data/shared.txt -> zor:data\\shared.txt
findResources data/shared.txt -> [zor:data\\shared.txt, zor:lib\\x.jar!data\\shared.txt]
loadResourceData zor:data/hello.txt -> hello 11\\x0a
nativeGetSplashScreen -> null"
[ "$natives" = "$expected_natives" ] || fail "natives as the VM saw them:
$natives
expected:
$expected_natives"

# Resource 128 holds the application archive, every byte rotated right by two bits.
check_resource128 "$work/app.exe" "$app_jar"

# A runtime tree of the test-double VM, packed with --runtime, is unpacked below %LOCALAPPDATA%
# (which cmd sets: wine sets it for what it starts) and loaded from there; where that cannot be
# written, --runtime-fallback goes on to the configured VM after a warning.
mkdir -p "$work/runtime/bin/server" "$work/local"
cp "$fake_jvm" "$work/runtime/bin/server/jvm.dll"
echo 'JAVA_VERSION="17.0.9"' >"$work/runtime/release"
for run in "embedded $work/local" "fallback $work/app.cfg --runtime-fallback --set jre_order=c"; do
    set -- $run
    "$zorpack" --target "$target" --stub "$stub" --support "$support" --main-class app.Main --app \
        "$app_jar" --console --runtime "$work/runtime" --set "jvmdll=$(winpath "$fake_jvm")" "${@:3}" -o "$work/$1.exe"
    ZOR_DEBUG=1 ZOR_FAKE_JVM_RESULT=0 ZOR_FAKE_JVM_MAIN=app/Main ZOR_WINE_TIMEOUT=150 "$wine_run" \
        cmd /c "set LOCALAPPDATA=$(winpath "$2")&& $(winpath "$work/$1.exe")" 2>&1 | tr -d '\r' >"$work/$1.out"
done
folder=$(ls -d "$work"/local/zor/runtimes/*)
[ "$(cat "$folder/.zor-complete")" = "${folder##*/}" ] && cmp -s "$fake_jvm" "$folder/bin/server/jvm.dll" &&
    grep -qxF "zor: runtime method r: $(winpath "$folder")\\bin\\server\\jvm.dll" "$work/embedded.out" ||
    fail "embedded: $folder: $(cat "$work/embedded.out")"
grep -qxF "The Java runtime inside this program cannot be unpacked into $(winpath "$work/app.cfg")\\zor\\runtimes\\${folder##*/}." \
    "$work/fallback.out" && grep -qxF "zor: runtime method c: $(winpath "$fake_jvm")" "$work/fallback.out" ||
    fail "fallback: $(cat "$work/fallback.out")"

[ "$failures" -eq 0 ] && echo "packed $target program, signed: configuration, option order, natives and resource 128 as expected; a runtime inside unpacked below %LOCALAPPDATA% and loaded, or passed over"
[ "$failures" -eq 0 ]

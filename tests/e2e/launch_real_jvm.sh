#!/bin/bash
# The Linux stub with a real JVM: VM creation, messages, exit codes, main invocation and the
# binding of the launcher's natives.
# Usage: launch_real_jvm.sh STUB PROBE_STUB APP_JAR SUPPORT_JAR JDK
set -uo pipefail
stub=$1 probe_stub=$2 app_jar=$3 support_jar=$4 jdk=$5
libjvm=$jdk/lib/server/libjvm.so
[ -f "$libjvm" ] || { echo "no JVM at $libjvm"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# make_app NAME STUB FILE_CONFIG [EMBEDDED_CONFIG]: a copy of the stub with a .cfg beside it
# and, when given, the support archive appended with the embedded configuration as its comment.
make_app() {
    local dir=$work/$1
    mkdir -p "$dir"
    cp "$2" "$dir/app"
    printf '%b' "$3" >"$dir/app.cfg"
    if [ $# -ge 4 ]; then
        cp "$support_jar" "$dir/support.zip"
        printf '%b' "$4" | zip -q -z "$dir/support.zip"
        cat "$dir/support.zip" >>"$dir/app"
        rm "$dir/support.zip"
    fi
    echo "$dir/app"
}
# run NAME APP [ARGS...]: runs with a time limit and the variables in run_env; sets out, err
# and rc. Newer JDKs warn on stderr about System.load: err keeps the launcher's last line.
run_env=()
run() {
    local name=$1 app=$2
    shift 2
    timeout 60 env "${run_env[@]}" "$app" "$@" >"$work/$name.out" 2>"$work/$name.err"
    rc=$?
    out=$(cat "$work/$name.out")
    err=$(cat "$work/$name.err")
    last_err=$(tail -n 1 "$work/$name.err")
}
expect_rc() { [ "$rc" -eq "$2" ] || fail "$1: exit code $rc, expected $2 (stderr: $err)"; }
expect_out() { grep -qxF -- "$2" <<<"$out" || fail "$1: no line '$2' in output: $out"; }
expect_err() { grep -qF -- "$2" <<<"$err" || fail "$1: no '$2' on stderr: $err"; }

jvm="jvmdll $libjvm\r\n"
cp_app="classpath $app_jar\r\n"

# Creates and destroys a VM without a main class: message 7, no crash.
app=$(make_app plain "$stub" "$jvm")
run plain "$app"
expect_rc plain 7
expect_err plain "Error: The main startup class could not be found."

# A runtime that is not there, in three languages.
app=$(make_app missing "$stub" "jre_order c\r\njvmdll $work/nothing/libjvm.so\r\n")
run missing "$app"
expect_rc missing 1
[ "$err" = "Error: Java Runtime Environment not found." ] || fail "missing: stderr '$err'"
run_env=(LC_ALL= LC_MESSAGES= LANG=zh_CN.UTF-8)
run missing_cn "$app"
[ "$err" = "错误: Java 运行环境未找到。" ] || fail "missing zh_CN: stderr '$err'"
run_env=(LC_ALL=zh_TW.UTF-8)
run missing_tw "$app"
[ "$err" = "錯誤: Java 運行環境未找到。" ] || fail "missing zh_TW: stderr '$err'"
run_env=()

# ZOR_DEBUG: each decision of the launch as a line on stderr (without it, none: see above).
run_env=(ZOR_DEBUG=1)
run trace_missing "$app"
expect_err trace_missing "zor: runtime method c: nothing found"
expect_err trace_missing "zor: runtime search: nothing found"
mkdir -p "$work/broken"
printf '%0200d' 0 >"$work/broken/libjvm.so"
app=$(make_app trace_broken "$stub" "jre_order c\r\njvmdll $work/broken/libjvm.so\r\n")
run trace_broken "$app"
expect_err trace_broken "zor: cannot load $work/broken/libjvm.so: $work/broken/libjvm.so: invalid ELF header"
app=$(make_app trace_found "$stub" "jre_order e\r\n$cp_app" "mainclass launchtest.Exit3\r\n")
run_env=(ZOR_DEBUG=1 JRE_HOME= JAVA_HOME="$jdk")
run trace_found "$app"
expect_rc trace_found 3
expect_err trace_found "zor: runtime method e: $libjvm"
expect_err trace_found "zor: loading the VM library $libjvm"
expect_err trace_found "zor: VM option -Djava.class.path=$app:$app_jar"
expect_err trace_found "zor: JNI_CreateJavaVM returned 0"
expect_err trace_found "zor: main class launchtest.Exit3: found by the launcher's class loader"
run_env=()

# Arguments in order without the program name; the context loader; the handler package.
app=$(make_app args "$stub" "$jvm$cp_app" "mainclass launchtest.Args\r\nproperty java.protocol.handler.pkgs=a.b\r\n")
run args "$app" x "" "é€" "two words"
expect_rc args 0
expect_out args "argc=4"
expect_out args "arg[0]=0078"
expect_out args "arg[1]="
expect_out args "arg[2]=00e9 20ac"
expect_out args "arg[3]=0074 0077 006f 0020 0077 006f 0072 0064 0073"
expect_out args "loader=com.tarnwick.zor.LumbrixClassLoader"
expect_out args "pkgs=com.tarnwick|a.b"
expect_out args "app=$app"
expect_out args "home=$(dirname "$app")/"
run args_none "$app"
expect_out args_none "argc=0"

# "forcecwd" relative to the executable's folder; "property" and %NAME% expansion.
mkdir -p "$work/args/data"
printf '%b' "$jvm${cp_app}forcecwd data\r\nproperty launchtest.custom=%LAUNCHTEST_VALUE%\r\n" >"$work/args/app.cfg"
run_env=(LAUNCHTEST_VALUE=expanded)
# run's variables stay in the subshell: its exit code carries rc out.
(cd / && run cwd "$app" && exit "$rc")
rc=$?
run_env=()
out=$(cat "$work/cwd.out")
err=$(cat "$work/cwd.err")
expect_rc cwd 0
expect_out cwd "cwd=$work/args/data"
expect_out cwd "custom=expanded"

# Exit codes: System.exit, an exception out of main, main not suitable, class missing.
app=$(make_app exit3 "$stub" "$jvm$cp_app" "mainclass launchtest.Exit3\r\n")
run exit3 "$app"
expect_rc exit3 3
app=$(make_app throws "$stub" "$jvm$cp_app" "mainclass launchtest.Throws\r\n")
run throws "$app"
expect_rc throws 1
expect_err throws "java.lang.IllegalStateException: boom from main"
expect_err throws "at launchtest.Throws.main"
for main in NotStatic NoArgs; do
    app=$(make_app "$main" "$stub" "$jvm$cp_app" "mainclass launchtest.$main\r\n")
    run "$main" "$app"
    expect_rc "$main" 8
    expect_err "$main" "Error: The main startup class is not valid, main method missing."
    grep -q "must not run" <<<"$out" && fail "$main: main ran"
done
# A "mainclass" only in the file beside the executable does not count.
app=$(make_app fileonly "$stub" "$jvm${cp_app}mainclass launchtest.Args\r\n" "option -Xss2m\r\n")
run fileonly "$app"
expect_rc fileonly 7
expect_err fileonly "Error: The main startup class could not be found."

# The VM waits for a non-daemon thread that outlives main; a daemon thread does not hold it.
app=$(make_app outlive "$stub" "$jvm$cp_app" "mainclass launchtest.Outlive\r\n")
run outlive "$app"
expect_rc outlive 0
[ "$out" = $'main returns\nlate thread done' ] || fail "outlive: output '$out'"

# Minimum version against the real VM's numbers.
vm_version=$("$jdk/bin/java" -XshowSettings:properties -version 2>&1 | sed -n 's/^ *java.vm.version = //p')
vm_major=$(sed -E 's/^([0-9]+).*/\1/' <<<"$vm_version")
vm_minor=$(sed -nE 's/^[0-9]+\.([0-9]+).*/\1/p' <<<"$vm_version")
vm_minor=${vm_minor:-0}
app=$(make_app old "$stub" "$jvm${cp_app}minjre $((vm_major + 1)).2\r\n" "mainclass launchtest.Args\r\n")
run old "$app"
expect_rc old 6
[ "$last_err" = "Error: Java virtual machine version $vm_major.$vm_minor is too low, require $((vm_major + 1)).2 or higher." ] ||
    fail "old: stderr '$last_err' (java.vm.version $vm_version)"
app=$(make_app new_enough "$stub" "$jvm${cp_app}minjre 1.8\r\n" "mainclass launchtest.Args\r\n")
run new_enough "$app"
expect_rc new_enough 0
expect_out new_enough "argc=0"

# The natives run in the launcher's own copy: the probe sees this launch's configuration,
# and the support classes' splash natives are bound.
app=$(make_app natives "$probe_stub" "$jvm$cp_app" "mainclass launchtest.Natives\r\n")
run natives "$app"
expect_rc natives 0
expect_out natives "probe=$app"
expect_out natives "splash=null"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s) with $jdk"
    exit 1
fi
echo "all launch checks passed with $jdk (java.vm.version $vm_version)"

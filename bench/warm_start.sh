# Warm start on JDK 17 and 25: the hello application and Rhino's shell from Debian evaluating
# one expression, each started with `java -cp` (= 1.00), packed without and with the warm start
# (zorpack's default), beside the JDK's own class-data archive or AOT cache as the reference,
# and the first run, which writes the archive. Sourced by scripts/bench.
rhino_jar=/usr/share/java/rhino.jar
[ -f "$rhino_jar" ] || { echo "bench/warm_start: $rhino_jar is missing (Debian package rhino)" >&2; return 1; }
rhino_main=org.mozilla.javascript.tools.shell.Main
rhino_args="-e 'print(6*7)'"
warm_jdks=(/usr/lib/jvm/java-17-openjdk-amd64 /usr/lib/jvm/temurin-25-jdk-amd64)
work=$BENCH_WORK/warm
mkdir -p "$work/hello-input"
bench_jar --create --file "$work/hello-input/hello.jar" --main-class Hello -C "$BENCH_CLASSES" Hello.class
hello_jar=$work/hello-input/hello.jar

# warm_pack JDK OUT ZORPACK-ARGS...
warm_pack() {
    local jdk=$1 out=$2
    shift 2
    mkdir -p "$(dirname "$out")"
    "$BENCH_BUILD/zorpack" --target linux --set "jvmdll=$jdk/lib/server/libjvm.so" "$@" -o "$out"
}
# The cell of NAME against `java -cp`, and the same against the JDK's own cache when given.
declare -A warm_cells
warm_cell() {
    local key=$1 name=$2 goal=${3:-} reference=${4:-}
    local cell
    cell=$(bench_ratio "$name" java "$goal")
    if [ -n "$reference" ]; then
        cell+="; $(awk -v w="${BENCH_WALL[$name]}" -v r="${BENCH_WALL[$reference]}" 'BEGIN {
            printf "%.2f× the JDK'"'"'s cache, goal ≤ 1.05×: %s", w / r, (w / r <= 1.05 ? "met" : "**missed**") }')"
    fi
    warm_cells[$key]+="$cell|"
}

headers=()
for jdk in "${warm_jdks[@]}"; do
    [ -x "$jdk/bin/java" ] || { echo "bench/warm_start: no JDK at $jdk" >&2; return 1; }
    major=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$jdk/release")
    headers+=("JDK $major ($(sed -n 's/^JAVA_VERSION="\(.*\)"/\1/p' "$jdk/release"))")
    out=$work/$major
    java=$jdk/bin/java
    export XDG_CACHE_HOME=$out/cache

    # Hello: the launcher's own cost.
    warm_pack "$jdk" "$out/hello-plain/app" --app "$hello_jar" --no-warm-start
    warm_pack "$jdk" "$out/hello-warm/app" --app "$hello_jar"
    bench_check "java=$java -cp $hello_jar Hello" \
        "native=$java --enable-native-access=ALL-UNNAMED -cp $hello_jar Hello" \
        "plain=$out/hello-plain/app" "warm=$out/hello-warm/app"
    bench_time "java=$java -cp $hello_jar Hello" \
        "native=$java --enable-native-access=ALL-UNNAMED -cp $hello_jar Hello" \
        "plain=$out/hello-plain/app" "warm=$out/hello-warm/app"
    warm_cell hello_plain plain 1.00
    warm_cell hello_native native
    warm_cell hello_warm warm

    # Rhino: the JDK's own cache, written once by a training run as its documentation shows.
    warm_pack "$jdk" "$out/rhino-plain/app" --main-class "$rhino_main" --app "$rhino_jar" --no-warm-start
    warm_pack "$jdk" "$out/rhino-warm/app" --main-class "$rhino_main" --app "$rhino_jar"
    rhino=("java=$java -cp $rhino_jar $rhino_main $rhino_args"
        "plain=$out/rhino-plain/app $rhino_args" "warm=$out/rhino-warm/app $rhino_args")
    if [ "$major" -ge 25 ]; then
        bash -c "$java -XX:AOTCacheOutput=$out/rhino.aot -cp $rhino_jar $rhino_main $rhino_args" >/dev/null 2>&1
        rhino+=("jdkcache=$java -XX:AOTCache=$out/rhino.aot -cp $rhino_jar $rhino_main $rhino_args")
        # The same by hand for the packed program.
        warm_pack "$jdk" "$out/rhino-hand/app" --main-class "$rhino_main" --app "$rhino_jar" --no-warm-start
        printf 'option -XX:AOTCacheOutput=%s\r\n' "$out/hand.aot" >"$out/rhino-hand/app.cfg"
        bash -c "$out/rhino-hand/app $rhino_args" >/dev/null 2>&1
        printf 'option -XX:AOTCache=%s\r\n' "$out/hand.aot" >"$out/rhino-hand/app.cfg"
        rhino+=("hand=$out/rhino-hand/app $rhino_args")
    else
        bash -c "$java -XX:ArchiveClassesAtExit=$out/rhino.jsa -cp $rhino_jar $rhino_main $rhino_args" >/dev/null 2>&1
        rhino+=("jdkcache=$java -XX:SharedArchiveFile=$out/rhino.jsa -cp $rhino_jar $rhino_main $rhino_args")
    fi
    bench_check "${rhino[@]}"
    bench_time "${rhino[@]}"
    goal=0.70
    [ "$major" -ge 25 ] && goal=0.65
    warm_cell rhino_plain plain
    warm_cell rhino_warm warm "$goal" jdkcache
    if [ "$major" -ge 25 ]; then warm_cell rhino_hand hand; else warm_cells[rhino_hand]+="–|"; fi
    warm_cell rhino_jdkcache jdkcache

    # The first run: each writes the archive anew into an emptied cache.
    first="first=bash -c \"rm -rf $out/cache && exec $out/rhino-warm/app $rhino_args\""
    bench_check "java=$java -cp $rhino_jar $rhino_main $rhino_args" "$first"
    bench_time "java=$java -cp $rhino_jar $rhino_main $rhino_args" "$first"
    warm_cell rhino_first first 1.50
done
export XDG_CACHE_HOME=$BENCH_WORK/cache

bench_section "Warm start" "The hello application (one class, one line) and Rhino's shell \
(\`$rhino_jar\`, Debian) running \`$rhino_args\`, on two JDKs. Each cell: the ratio to \`java -cp\` \
on the same JDK (= 1.00). \"Packed\" is the program made by zorpack, without the warm start \
(\`--no-warm-start\`) or with it (the default; the archive written by the warm-up runs, so \
these are second and later starts). The JDK's own cache is the reference: a dynamic archive \
(\`-XX:ArchiveClassesAtExit\` once, then \`-XX:SharedArchiveFile\`) on JDK 17, an AOT cache \
(\`-XX:AOTCacheOutput\` once, then \`-XX:AOTCache\`) on JDK 25. The first run removes the \
cache folder and runs the warm program, which writes the archive (through \`bash -c\`)."
bench_table "workload" "${headers[@]}"
warm_row() {
    local title=$1 key=$2 cells
    IFS='|' read -r -a cells <<<"${warm_cells[$key]}"
    bench_row "$title" "${cells[@]}"
}
warm_row "hello, packed, no warm start" hello_plain
warm_row "hello, \`java --enable-native-access=ALL-UNNAMED -cp\`" hello_native
warm_row "hello, packed, warm start" hello_warm
warm_row "Rhino, packed, no warm start" rhino_plain
warm_row "Rhino, packed, warm start (second and later runs)" rhino_warm
warm_row "Rhino, packed, \`-XX:AOTCacheOutput\` once then \`-XX:AOTCache\` (by hand)" rhino_hand
warm_row "Rhino, \`java -cp\` with the JDK's own cache (reference)" rhino_jdkcache
warm_row "Rhino, first run with the warm start (writes the archive)" rhino_first

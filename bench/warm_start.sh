# Warm start: Rhino's shell from Debian evaluating one expression, started with `java -cp`, as
# a packed program, and as a packed program with a class-data archive (zorpack --warm-start),
# on every JDK in /usr/lib/jvm. Sourced by scripts/bench.
rhino_jar=/usr/share/java/rhino.jar
[ -f "$rhino_jar" ] || { echo "bench/warm_start: $rhino_jar is missing (Debian package rhino)" >&2; return 1; }
rhino_main=org.mozilla.javascript.tools.shell.Main

bench_section "Warm start" "Rhino's shell (\`$rhino_jar\`, Debian) running \`-e 'print(6*7)'\`. \
Columns: \`java -cp\` (= 1.00), the program packed by zorpack, and packed with \`--warm-start\` \
(the class-data archive written by the warm-up runs). Goal: warm start at most 0.75×."
bench_table "JDK" "packed, plain" "packed, warm start"

export XDG_CACHE_HOME=$BENCH_WORK/cache
for jdk in /usr/lib/jvm/*; do
    [ -L "$jdk" ] || [ ! -f "$jdk/lib/server/libjvm.so" ] || [ ! -x "$jdk/bin/java" ] && continue
    version=$(sed -n 's/^JAVA_VERSION="\(.*\)"/\1/p' "$jdk/release" 2>/dev/null)
    out=$BENCH_WORK/rhino-$(basename "$jdk")
    mkdir -p "$out"
    for kind in plain warm; do
        extra=()
        [ "$kind" = warm ] && extra=(--warm-start)
        "$BENCH_BUILD/zorpack" --target linux --main-class "$rhino_main" --app "$rhino_jar" \
            --set "jvmdll=$jdk/lib/server/libjvm.so" "${extra[@]}" -o "$out/$kind"
    done
    bench_compare "$(basename "$jdk") ($version)" \
        "java=$jdk/bin/java -cp $rhino_jar $rhino_main -e 'print(6*7)'" \
        "plain=$out/plain -e 'print(6*7)'" \
        "warm=$out/warm -e 'print(6*7)'"
done

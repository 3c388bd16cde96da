# A program that carries its own runtime: Rhino's shell from Debian, packed with
# `zorpack --jlink` from the JDK, against `java -cp` on that installed JDK. The first start
# unpacks the runtime into an emptied cache folder (and writes the warm-start archive); later
# starts find both in place. Also the executable's size. Sourced by scripts/bench.
rhino_jar=/usr/share/java/rhino.jar
[ -f "$rhino_jar" ] || { echo "bench/embedded_runtime: $rhino_jar is missing (Debian package rhino)" >&2; return 1; }
rhino_main=org.mozilla.javascript.tools.shell.Main
rhino_args="-e 'print(6*7)'"
work=$BENCH_WORK/embedded
mkdir -p "$work"
cache=$work/cache
export XDG_CACHE_HOME=$cache
java=$BENCH_JDK/bin/java
major=$(sed -n 's/^JAVA_VERSION="\([0-9]*\).*/\1/p' "$BENCH_JDK/release")

"$BENCH_BUILD/zorpack" --target linux --main-class "$rhino_main" --app "$rhino_jar" \
    --jlink --jdk "$BENCH_JDK" -o "$work/rhino" | tee "$work/zorpack.out"
"$BENCH_BUILD/zorpack" --target linux --main-class "$rhino_main" --app "$rhino_jar" \
    --set "jvmdll=$BENCH_JDK/lib/server/libjvm.so" -o "$work/rhino-plain" >/dev/null
modules=$(sed -n 's/.* with the modules //p' "$work/zorpack.out")
compressed=$(sed -n 's/.*on disk, \(.*\) compressed$/\1/p' "$work/zorpack.out")

later=("java=$java -cp $rhino_jar $rhino_main $rhino_args" "later=$work/rhino $rhino_args")
bench_check "${later[@]}"
bench_time "${later[@]}"
later_cell=$(bench_ratio later java 0.85)
java_wall=${BENCH_WALL[java]}

# hyperfine empties the cache before every run of the first start.
hyperfine -N --style none --runs "$BENCH_RUNS" --prepare "rm -rf $cache" \
    --export-csv "$work/first.csv" --command-name first "$work/rhino $rhino_args" >&2
first_wall=$(awk -F, 'NR == 2 { print $4 }' "$work/first.csv")
first_cell=$(awk -v w="$first_wall" -v j="$java_wall" 'BEGIN {
    printf "%.2f s, %.2f× `java -cp`; goal < 2 s: %s", w, w / j, (w < 2 ? "met" : "**missed**") }')

size() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f MB", b / 1e6 }'; }
unpacked=$(du -sb "$cache"/zor/runtimes/*/ | awk '{ printf "%.1f MB", $1 / 1e6 }')

bench_section "Embedded runtime" "Rhino's shell (\`$rhino_jar\`, Debian) running \`$rhino_args\`, \
packed with \`zorpack --jlink --jdk $BENCH_JDK\` (JDK $major; jdeps names \`$modules\`; jlink with \
\`--strip-debug --no-man-pages --no-header-files --generate-cds-archive\`), against \`java -cp\` on \
that JDK installed. Later starts find the runtime unpacked and the warm-start archive written \
(by the warm-up runs); the first start is timed by hyperfine with the cache folder emptied before \
each run (\`--prepare\`), so it unpacks the runtime and writes the warm-start archive. The first \
start's goal is absolute, so its median time is given in seconds too."
bench_table "measure" "figure"
bench_row "later starts" "$later_cell"
bench_row "first start, unpacking included" "$first_cell"
bench_row "executable" "$(size "$work/rhino") (runtime image $compressed compressed; the same program without a runtime: $(size "$work/rhino-plain"))"
bench_row "runtime unpacked in the cache" "$unpacked"
export XDG_CACHE_HOME=$BENCH_WORK/cache

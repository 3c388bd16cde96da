# Start-up: a hello application (bench/java/Hello.java) started with `java -cp`, as a packed
# program, and as the JDK's jpackage app-image over the installed runtime. Sourced by
# scripts/bench.
work=$BENCH_WORK/startup
mkdir -p "$work/input"
bench_jar --create --file "$work/input/hello.jar" --main-class Hello -C "$BENCH_CLASSES" Hello.class
bench_pack "$work/hello" --app "$work/input/hello.jar" --no-warm-start
"$BENCH_JDK/bin/jpackage" --type app-image --input "$work/input" --main-jar hello.jar \
    --main-class Hello --runtime-image "$BENCH_JDK" --dest "$work/image" --name hello

bench_section "Start-up" "A hello application: one class of its own, one line of output. Columns: \
the program packed by zorpack without the warm start (see Warm start for it), and the app-image that \`jpackage --type app-image --runtime-image \
$BENCH_JDK\` makes of the same jar."
bench_table "workload" "packed" "jpackage app-image"
bench_check "java=$BENCH_JDK/bin/java -cp $work/input/hello.jar Hello" "packed=$work/hello" \
    "jpackage=$work/image/hello/bin/hello"
bench_time "java=$BENCH_JDK/bin/java -cp $work/input/hello.jar Hello" "packed=$work/hello" \
    "jpackage=$work/image/hello/bin/hello"
bench_row "hello" "$(bench_ratio packed java 1.00)" "$(bench_ratio jpackage java)"

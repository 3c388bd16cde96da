# Class loading: bench/java/LoadClasses.java loads, without initialising, every class of
# Debian's guava, with guava as the application archive and nested under lib/. Sourced by
# scripts/bench.
guava=/usr/share/java/guava.jar
[ -f "$guava" ] || { echo "bench/class_loading: $guava is missing (Debian package libguava-java)" >&2; return 1; }
work=$BENCH_WORK/class_loading
mkdir -p "$work/list/bench"
bench_class_names "$guava" >"$work/list/bench/classes.txt"
# The driver alone, beside guava; and guava with the driver added, as one application jar.
bench_jar --create --file "$work/driver.jar" -C "$BENCH_CLASSES" LoadClasses.class \
    -C "$BENCH_CLASSES" Names.class -C "$work/list" bench/classes.txt
cp "$guava" "$work/app.jar"
bench_jar --update --file "$work/app.jar" -C "$BENCH_CLASSES" LoadClasses.class \
    -C "$BENCH_CLASSES" Names.class -C "$work/list" bench/classes.txt
bench_pack "$work/own" --app "$work/app.jar" --main-class LoadClasses
bench_pack "$work/nested" --app "$work/driver.jar" --main-class LoadClasses --lib "$guava"

own=("java=$BENCH_JDK/bin/java -cp $work/app.jar LoadClasses" "packed=$work/own")
bench_check "${own[@]}"
bench_section "Class loading" "$(wc -l <"$work/list/bench/classes.txt") classes of \`$guava\` \
(Debian), each loaded without initialising through the driver's own class loader \
(\`$BENCH_OUTPUT\`). Rows: guava \
with the driver as one application jar (\`java -cp app.jar\`), and the driver's jar with guava \
beside it (\`java -cp driver.jar:guava.jar\`; packed, guava nested stored by \`zorpack --lib\`)."
bench_table "workload" "packed"
bench_time "${own[@]}"
bench_row "guava as the application archive" "$(bench_ratio packed java 0.60)"
nested=("java=$BENCH_JDK/bin/java -cp $work/driver.jar:$guava LoadClasses" "packed=$work/nested")
bench_check "${nested[@]}"
bench_time "${nested[@]}"
bench_row "guava nested under lib/" "$(bench_ratio packed java 0.60)"

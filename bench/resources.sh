# Resources: bench/java/ReadResources.java makes ten thousand getResourceAsStream reads of a
# few hundred distinct resources, in the application archive and in a jar nested under lib/.
# Sourced by scripts/bench.
work=$BENCH_WORK/resources
mkdir -p "$work/list/bench" "$work/res"
# 300 text resources of 100 bytes to 8 KB, in folders as an application keeps them: the same
# content on every run, compressible as text is.
awk -v dir="$work/res" 'BEGIN {
    split("icons i18n help conf", kinds, " ")
    for (i = 0; i < 300; ++i) {
        folder = dir "/app/" kinds[1 + i % 4]
        if (!(folder in made)) { system("mkdir -p " folder); made[folder] = 1 }
        name = sprintf("%s/r%03d.properties", folder, i)
        size = 100 + (i * 7919) % 8000
        for (n = 0; n < size;) {
            line = sprintf("key.%d.%d = value %d of resource %d\n", i, n, (n * 31 + i) % 977, i)
            printf "%s", line > name
            n += length(line)
        }
        close(name)
        print substr(name, length(dir) + 2) > (dir "/../list/bench/resources.txt")
    }
}'
bench_jar --create --file "$work/driver.jar" -C "$BENCH_CLASSES" ReadResources.class \
    -C "$BENCH_CLASSES" Names.class -C "$work/list" bench/resources.txt
bench_jar --create --file "$work/resources.jar" -C "$work/res" app
cp "$work/driver.jar" "$work/app.jar"
bench_jar --update --file "$work/app.jar" -C "$work/res" app
bench_pack "$work/own" --app "$work/app.jar" --main-class ReadResources
bench_pack "$work/nested" --app "$work/driver.jar" --main-class ReadResources \
    --lib "$work/resources.jar"

own=("java=$BENCH_JDK/bin/java -cp $work/app.jar ReadResources" "packed=$work/own")
bench_check "${own[@]}"
bench_section "Resources" "10,000 \`getResourceAsStream\` reads, each to the end, going round \
300 distinct text resources of 100 bytes to 8 KB (deflated, $(du -k "$work/resources.jar" | cut -f1) KB \
as a jar; the driver prints \`$BENCH_OUTPUT\`). Rows: the resources in the application jar beside the driver (\`java -cp app.jar\`), \
and in a jar of their own (\`java -cp driver.jar:resources.jar\`; packed, nested stored by \
\`zorpack --lib\`)."
bench_table "workload" "packed"
bench_time "${own[@]}"
bench_row "resources in the application archive" "$(bench_ratio packed java 0.60)"
nested=("java=$BENCH_JDK/bin/java -cp $work/driver.jar:$work/resources.jar ReadResources"
    "packed=$work/nested")
bench_check "${nested[@]}"
bench_time "${nested[@]}"
bench_row "resources nested under lib/" "$(bench_ratio packed java 0.60)"

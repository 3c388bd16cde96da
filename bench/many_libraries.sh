# Many libraries: an application of 33 real Debian jars, nested under lib/ stored (zorpack
# --lib) and deflated (an application jar that the JDK's jar tool wrote with lib/*.jar in it),
# against `java -cp` on the same jars: time to the first line of output and peak resident
# memory. Sourced by scripts/bench.
many_jars=(guava commons-lang3 commons-io commons-cli guice aopalliance atinject-jsr330-api
    jsr305 error_prone_annotations slf4j-api slf4j-simple plexus-utils2
    plexus-interpolation plexus-classworlds plexus-cipher plexus-sec-dispatcher
    plexus-component-annotations sisu-inject sisu-plexus maven3-core maven3-model maven3-artifact
    maven3-settings maven-resolver-api maven-resolver-impl maven-resolver-util maven-shared-utils
    wagon-provider-api wagon-http-shaded jansi jline rhino eclipse-jdt-core)
work=$BENCH_WORK/many_libraries
mkdir -p "$work/list/bench" "$work/app/lib"
# Some of Debian's jars name others in their manifests' Class-Path: zorpack is told to leave the
# manifests alone, so that the packed programs carry exactly the listed jars, as `java -cp` has.
class_path=$work/driver.jar
libs=()
: >"$work/list/bench/classes.txt"
for jar in "${many_jars[@]}"; do
    [ -f "/usr/share/java/$jar.jar" ] || { echo "bench/many_libraries: /usr/share/java/$jar.jar is missing (scripts/deps installs it)" >&2; return 1; }
    cp -L "/usr/share/java/$jar.jar" "$work/app/lib/"
    class_path+=":$work/app/lib/$jar.jar"
    libs+=(--lib "$work/app/lib/$jar.jar")
    # What starting an application touches of each library: its first 20 classes.
    bench_class_names "$work/app/lib/$jar.jar" 20 >>"$work/list/bench/classes.txt"
done
inflated_kb=$(du -c -k --apparent-size "$work"/app/lib/*.jar | tail -1 | cut -f1)
inflated_mb=$(((inflated_kb + 512) / 1024))
bench_jar --create --file "$work/driver.jar" -C "$BENCH_CLASSES" LoadClasses.class \
    -C "$BENCH_CLASSES" Names.class -C "$work/list" bench/classes.txt
cp "$work/driver.jar" "$work/deflated.jar"
bench_jar --update --file "$work/deflated.jar" -C "$work/app" lib
bench_pack "$work/stored" --app "$work/driver.jar" --main-class LoadClasses --no-manifest-class-path \
    "${libs[@]}"
bench_pack "$work/deflated" --app "$work/deflated.jar" --main-class LoadClasses \
    --no-manifest-class-path

many=("java=$BENCH_JDK/bin/java -cp $class_path LoadClasses" "stored=$work/stored"
    "deflated=$work/deflated")
bench_check "${many[@]}"
bench_section "Many libraries" "${#many_jars[@]} jars of Debian (${many_jars[*]}), $inflated_mb \
MB in all, and a driver that loads the first 20 classes of each without initialising them, then \
prints its one line (\`$BENCH_OUTPUT\`) and ends (so the time is that to the first line of output, plus the VM's \
shutdown). \`java -cp\` has the jars on its class path; the packed programs carry them under \
\`lib/\`, stored (\`zorpack --lib\`) or deflated (an application jar written by the JDK's \`jar\` \
tool). Goals for peak RSS: within 1.10× of \`java -cp\` when stored; when deflated, no more \
above \`java -cp\` than the inflated size of the nested jars, $inflated_mb MB."
bench_table "measure" "packed, nested stored" "packed, nested deflated"
bench_time "${many[@]}"
bench_row "time to the first line" "$(bench_ratio stored java)" "$(bench_ratio deflated java)"
bench_rss "${many[@]}"
bench_row "peak RSS" "$(bench_rss_ratio stored java ratio=1.10)" \
    "$(bench_rss_ratio deflated java extra="$inflated_kb")"

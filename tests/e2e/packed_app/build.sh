#!/bin/bash
# Builds the jars of the packed-application tests into OUT:
#   app.jar     classes and resources of the application, with lib/x.jar nested inside
#   driver.jar  a driver that stays on the class path (threads and exit_race scenarios)
#   race.jar    one large entry, the exit_race scenario's application archive
#   cli.jar     the application archive of the commons-cli driver, with the library nested
#   clidrv.jar  the same driver alone, to run with `java -cp`
#   origin.jar  an application with a manifest, to run with `java -cp` beside commons-lang3
#   bare.jar    one class, no manifest
#   origin-app.jar  the origin application with commons-lang3 and bare.jar nested under lib/
#   origin-badmanifest.jar  the same with a manifest that cannot be parsed
#   mr.jar      a multi-release library with its driver mrapp.Main; mrdriver.jar the driver
#               alone; mrplain.jar the same entries as mr.jar without "Multi-Release: true"
# Usage: build.sh OUT JAVAC JAR COMMONS_CLI_JAR COMMONS_LANG3_JAR
set -euo pipefail
out=$1 javac=$2 jar=$3 cli_jar=$4 lang3_jar=$5
src=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/gen/app/many" "$out/classes" "$out/top" "$out/nested" "$out/driver" "$out/cli" \
    "$out/origin" "$out/bare"

# A package with many classes.
count=40
printf 'package app;\npublic class Many { public static final int COUNT = %d; }\n' $count >"$out/gen/app/Many.java"
for i in $(seq 0 $((count - 1))); do
    printf 'package app.many;\npublic class C%d { public static final Integer VALUE = Integer.valueOf(%d); }\n' \
        "$i" "$i" >"$out/gen/app/many/C$i.java"
done

# Everything but the nested copy of app.Twice, which is compiled on its own below.
"$javac" --release 8 -nowarn -d "$out/classes" \
    $(find "$src/top" "$src/nested" "$out/gen" -name '*.java' ! -path "$src/nested/app/Twice.java")

# The nested jar: its own classes, a second app.Twice and resources.
cd "$out/nested"
mkdir -p app nested data META-INF/services
"$javac" --release 8 -nowarn -cp "$out/classes" -d . "$src/nested/app/Twice.java"
cp "$out/classes/app/ServiceNested.class" app/
cp "$out/classes/nested/OnlyNested.class" nested/
printf 'nested resource\n' >nested/res.txt
printf 'shared from nested\n' >data/shared.txt
printf 'app.ServiceNested\n' >META-INF/services/app.Service
"$jar" cfM ../x.jar app nested data META-INF

# The application archive: everything of the top, the nested jar under lib/.
cd "$out/top"
mkdir -p app data lib META-INF/services
cp "$out/classes/app/Twice.class" "$out/classes/app/Main"*.class "$out/classes/app/Service.class" "$out/classes/app/ServiceTop.class" \
    "$out/classes/app/Many.class" app/
mkdir -p app/many && cp "$out/classes/app/many/"*.class app/many/
printf 'hello resource\n' >data/hello.txt
printf 'with a space\n' >'data/with space.txt'
printf 'literal plus\n' >'data/a+b.txt'
# What the decoded name would find: the name as written must be looked up first.
printf 'decoded plus\n' >'data/a b.txt'
printf 'plus became a space\n' >'data/plus space.txt'
printf 'percent at the end\n' >'data/100%'
printf 'shared from top\n' >data/shared.txt
: >data/empty.txt
printf 'app.ServiceTop\n' >META-INF/services/app.Service
cp ../x.jar lib/x.jar
"$jar" cfM ../app.jar app data lib META-INF

# The exit race's application archive: one entry that takes a while to inflate.
mkdir -p "$out/race/data"
seq 1 2000000 >"$out/race/data/big.txt"
"$jar" cfM "$out/race.jar" -C "$out/race" .

# The threads driver, on the class path only.
"$javac" --release 8 -nowarn -d "$out/driver" "$src/driver/driver/"*.java
"$jar" cfM "$out/driver.jar" -C "$out/driver" .

# The commons-cli driver: alone, and as an application archive with the library nested.
"$javac" --release 8 -nowarn -cp "$cli_jar" -d "$out/cli" "$src/cli/clidrv/CliDriver.java"
"$jar" cfM "$out/clidrv.jar" -C "$out/cli" .
mkdir -p "$out/cli/lib"
cp "$cli_jar" "$out/cli/lib/commons-cli.jar"
"$jar" cfM "$out/cli.jar" -C "$out/cli" .

# The origin application: alone with its manifest, and with commons-lang3 and bare.jar (which
# has no manifest) nested.
"$javac" --release 8 -nowarn -d "$out/bare" "$src/bare/bare/Bare.java"
"$jar" cfM "$out/bare.jar" -C "$out/bare" .
"$javac" --release 8 -nowarn -cp "$lang3_jar:$out/bare" -d "$out/origin" \
    $(find "$src/origin" -name '*.java')
"$jar" cfm "$out/origin.jar" "$src/origin/manifest.txt" -C "$out/origin" .
mkdir -p "$out/origin/lib"
cp "$lang3_jar" "$out/origin/lib/commons-lang3.jar"
cp "$out/bare.jar" "$out/origin/lib/bare.jar"
"$jar" cfm "$out/origin-app.jar" "$src/origin/manifest.txt" -C "$out/origin" .
mkdir -p "$out/badmanifest/META-INF"
cp -r "$out/origin/origin" "$out/origin/lib" "$out/badmanifest/"
printf 'Manifest-Version: 1.0\nImplementation-Version: 9\nnot a header\n' \
    >"$out/badmanifest/META-INF/MANIFEST.MF"
(cd "$out/badmanifest" && zip -qr ../origin-badmanifest.jar META-INF origin lib)

# mr.Which and mr/which.txt in the base and under versions 9, 11, 21 and 99; mr/newer.txt only
# under 11; mr/zero.txt also under "09", which no runtime reads. The class is compiled once and
# its variants differ only in the text it returns.
mkdir -p "$out/multi"
printf 'package mr;\npublic class Which { public static String version() { return "V00"; } }\n' \
    >"$out/gen/Which.java"
"$javac" --release 8 -nowarn -d "$out/multi" "$out/gen/Which.java" "$src/multi/mrapp/Main.java"
"$jar" cfM "$out/mrdriver.jar" -C "$out/multi" mrapp
cd "$out/multi"
printf V00 >mr/which.txt
printf V00 >mr/zero.txt
for v in 09 11 21 99; do
    d=META-INF/versions/${v#0}/mr
    mkdir -p $d
    printf V$v >$d/which.txt
    perl -0777 -pe "s/V00/V$v/" mr/Which.class >$d/Which.class
done
printf V11 >META-INF/versions/11/mr/newer.txt
mkdir -p META-INF/versions/09/mr
printf V09 >META-INF/versions/09/mr/zero.txt
printf 'Manifest-Version: 1.0\n' >META-INF/MANIFEST.MF
zip -qrX "$out/mrplain.jar" META-INF mr mrapp
printf 'Manifest-Version: 1.0\nMulti-Release: true\n' >META-INF/MANIFEST.MF
zip -qrX "$out/mr.jar" META-INF mr mrapp

#!/bin/bash
# Writes the archives that the archive tests read, with Info-ZIP zip and the JDK's jar, into the
# folder given as $1 (emptied first). Also lists real jars and jmods with unzip for the corpus
# test. Usage: make_archives.sh OUT_DIR JAR_TOOL
set -euo pipefail
out=$1
jar=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out"
mkdir -p "$out/src" "$out/nest" "$out/corpus/samples"
cd "$out/src"

# ---- contents ----
head -c 200000 /dev/urandom >random.bin # does not shrink: zip stores it (-n .bin)
seq 1 80000 >numbers.txt                # ~450 KB of text: deflated across many read buffers
: >empty.txt
mkdir -p dir/sub
echo "in a folder" >dir/sub/file.txt
mkdir -p a
echo "slash" >a/b.class
echo "backslash" >'a\b.class'

# ---- reader archives ----
zip -q -X -n .bin ../basic.zip random.bin numbers.txt empty.txt dir/sub/file.txt
zip -q -X ../slash.zip a/b.class
zip -q -X ../backslash.zip 'a\b.class'
zip -q -X ../one.zip numbers.txt
"$jar" cf ../data.jar numbers.txt random.bin dir/sub/file.txt empty.txt
zip -q -X -P secret ../encrypted.zip numbers.txt
zip -q -X ../encrypted.zip dir/sub/file.txt
# Zip64 records and extra fields although nothing needs them: saturated offsets and sizes.
zip -q -X -fz ../forced-zip64.zip numbers.txt dir/sub/file.txt empty.txt

# An archive behind the bytes of a real program, with the stored offsets left as they were
# and, in a second copy, adjusted by zip -A to count from the start of the file.
cat /bin/true ../basic.zip >../behind-exe.zip
cp ../behind-exe.zip ../behind-exe-adjusted.zip
zip -q -A ../behind-exe-adjusted.zip

# zip cannot write a 65,535-byte comment: set it on the end record ourselves. The second copy
# carries a fake end-record signature (followed by record-sized garbage) inside the comment.
long_comment() {
    perl -e '
        my ($in, $out, $fake) = @ARGV;
        open(my $f, "<:raw", $in) or die; local $/; my $zip = <$f>; close $f;
        substr($zip, -22 + 20, 2) = pack("v", 65535);
        my $comment = "c" x 65535;
        substr($comment, 65535 - 40, 22) = "PK\x05\x06" . ("\xff" x 18) if $fake;
        open(my $o, ">:raw", $out) or die; print $o $zip, $comment; close $o;
    ' "$@"
}
long_comment ../one.zip ../long-comment.zip 0
long_comment ../one.zip ../signature-in-comment.zip 1

# ---- nested archives ----
cd "$out/nest"
mk() { # mk ARCHIVE FILE...: the files are created with their own name as content first
    local archive=$1
    shift
    zip -q -X "$archive" "$@"
}
mkdir -p c lib
echo "deep" >deep.txt
echo "c-d" >c/d.txt
echo "l1" >l1.txt
mk l3.jar deep.txt
mk l2.jar c/d.txt l3.jar
mk l1.jar l2.jar l1.txt
echo "from a" >shared.txt
echo "only a" >only-a.txt
mk a.jar shared.txt only-a.txt
echo "from bb" >shared.txt
echo "nested dup" >dup.txt
mk bb.jar shared.txt dup.txt
echo "upper" >upper.txt
mk LIB.JAR upper.txt
echo "mixed" >mixed.txt
mk x.Zip mixed.txt
echo "in folder" >folder.txt
mk lib/in-folder.jar folder.txt
echo "dot" >dotjar.txt
mk dotjar.zip dotjar.txt
mv dotjar.zip .jar
echo "patched" >patched.txt
mk patch.jar patched.txt
: >empty.jar
echo "not an archive" >bad.jar
echo "top dup" >dup.txt
echo "bang" >'!bang.txt'
echo "upper case" >Case.txt
echo "lower case" >case.txt
: >zero.txt
zip -q -X ../outer.zip l1.jar a.jar bb.jar LIB.JAR x.Zip lib/in-folder.jar .jar empty.jar \
    bad.jar dup.txt '!bang.txt' Case.txt case.txt zero.txt
zip -q -X -0 ../outer.zip patch.jar # stored, so that the test can damage its bytes in place

# Stored archives read where they lie, one inside another, with entries larger than a read
# buffer (basic.zip) and stored and deflated archives below (outer.zip); a deflated text beside.
cd "$out"
zip -q -X -0 in-place.zip basic.zip outer.zip
zip -q -X in-place.zip src/numbers.txt

# ---- archives that only a Java program writes ----
"$(dirname "$jar")/java" "$here/MakeArchives.java" "$out"

# ---- corpus: real jars and the JDK's jmods, listed and sampled by unzip ----
cd "$out/corpus"
n=0
: >archives.txt
: >samples.txt
for a in /usr/share/java/guava.jar /usr/share/java/commons-lang3.jar \
    /usr/lib/jvm/java-17-openjdk-amd64/jmods/*.jmod; do
    [ -f "$a" ] || continue
    echo "$a" >>archives.txt
    unzip -v "$a" >"$n.lst" 2>/dev/null || [ $? -eq 1 ] # 1: warning (the jmod header)
    # Every 150th entry, whole, for a byte-for-byte comparison (names free of wildcards).
    while IFS=$'\t' read -r i name; do
        unzip -p "$a" "$name" >"samples/$n-$i" 2>/dev/null || [ $? -eq 1 ]
        printf '%s\t%s\t%s\n' "$n" "samples/$n-$i" "$name" >>samples.txt
    done < <( (unzip -Z1 "$a" 2>/dev/null || true) |
        awk '(NR - 1) % 150 == 0 && !/\/$/ && !/[][*?\\]/ { print NR - 1 "\t" $0 }')
    n=$((n + 1))
done

# Sourced by the packed-program tests: check_resource128 EXE APP_JAR fails (through `fail`)
# unless RCDATA 128 of EXE holds APP_JAR with every byte rotated right by two bits.
check_resource128() {
    local exe=$1 app_jar=$2 dir
    dir=$(mktemp -d)
    wrestool -x --raw --type=10 --name=128 "$exe" >"$dir/res128" 2>/dev/null || fail "no RCDATA 128 in $exe"
    perl -e 'local $/; my $d = <STDIN>; $d =~ s/(.)/chr(((ord($1) << 6) | (ord($1) >> 2)) & 255)/gse; print $d' \
        <"$app_jar" >"$dir/expected"
    cmp -s "$dir/res128" "$dir/expected" || fail "RCDATA 128 of $exe is not the scrambled application archive"
    rm -rf "$dir"
}

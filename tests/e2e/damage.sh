# Sourced by the damaged-executable tests: the damaged copies of one packed program.

# damage_jobs REGIONS SEED PLAN...: one job per line, "cut LENGTH" or "flip OFFSET XOR", for
# the regions that damaged_regions.pl printed. A PLAN is "cut NAME N" (N lengths spread evenly
# over the first span of NAME, each a few bytes further at random) or "flip NAME N" (N bytes at
# random in the spans of NAME, each changed by a random non-zero XOR). The same SEED and
# regions give the same jobs.
damage_jobs() {
    local regions=$1 seed=$2
    shift 2
    perl -e '
        my ($regions, $seed, @plans) = @ARGV;
        srand($seed);
        my %r;
        for (split /\n/, $regions) { my ($n, $s, $e) = split; push @{$r{$n}}, [$s, $e]; }
        for (@plans) {
            my ($kind, $name, $count) = split;
            die "no region $name\n" unless $r{$name};
            my @spans = @{$r{$name}};
            for my $i (0 .. $count - 1) {
                if ($kind eq "cut") {
                    my ($s, $e) = @{$spans[0]};
                    printf "cut %d\n", $s + int(($e - $s) * $i / $count) + int(rand(40));
                } else {
                    my ($s, $e) = @{$spans[int(rand(@spans))]};
                    printf "flip %d %d\n", $s + int(rand($e - $s)), 1 + int(rand(255));
                }
            }
        }' "$regions" "$seed" "$@"
}

# damage_copy GOOD OUT KIND AT [XOR]: OUT is GOOD cut to AT bytes, or with its byte at AT
# changed by XOR.
damage_copy() {
    local good=$1 out=$2 kind=$3 at=$4 value=${5:-0}
    if [ "$kind" = cut ]; then
        head -c "$at" "$good" >"$out"
    else
        cp "$good" "$out"
        printf "$(printf '\\%03o' $(( $(od -An -tu1 -j "$at" -N1 "$out") ^ value )))" |
            dd of="$out" bs=1 seek="$at" conv=notrunc status=none
    fi
}

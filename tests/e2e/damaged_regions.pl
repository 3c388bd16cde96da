#!/usr/bin/perl
# Prints the regions of a packed executable (Linux or Windows) that the damaged-executables
# tests damage, one "NAME START END" line each (byte offsets, END exclusive; a name may have
# several spans):
#   after-image      Linux: from the end of the ELF image to the end of the file
#   pe-headers       Windows: the DOS, PE and section headers
#   resource-section Windows: the section that holds the resources
#   resource-block   Linux: the block's entry headers and trailer; Windows: the resource
#                    directory tables and data entries, but for the manifest's and the root
#                    table's header
#   resource128      the application archive as stored
#   nested           the stored nested archive inside it (NESTED_NAME in the application jar)
#   appended         the appended archive up to its end record
#   configuration    the end record's comment
# Usage: damaged_regions.pl PACKED NESTED_NAME
use strict;
use warnings;

my ($file, $nested) = @ARGV;
open(my $f, "<:raw", $file) or die "$file: $!";
local $/;
my $image = <$f>;
close $f;
my $size = length $image;

my $end = rindex($image, "PK\x05\x06");
die "no end record\n" if $end < 0;
my ($dirSize, $dirOffset, $commentLength) = unpack("V V v", substr($image, $end + 12, 10));
my $archiveStart = $end - $dirSize - $dirOffset;
my ($appStart, $appEnd) = substr($image, 0, 2) eq "MZ" ? peResources() : elfResources();

# Linux: resource 128 in the block of resources that sits between the image and the archive.
sub elfResources {
    my ($count, $blockSize) = unpack("V V", substr($image, $archiveStart - 16, 8));
    die "no resource block\n" if substr($image, $archiveStart - 8, 8) ne "ZORRSRC1";
    my $blockStart = $archiveStart - $blockSize;
    my ($start, $stop);
    my @headers;
    my $at = $blockStart;
    for (1 .. $count) {
        my ($type, $id, $length) = unpack("V V V", substr($image, $at, 12));
        push @headers, $at;
        ($start, $stop) = ($at + 12, $at + 12 + $length) if $type == 10 && $id == 128;
        $at += 12 + $length;
    }
    die "no resource 128\n" unless defined $start;
    print "after-image $blockStart $size\n";
    print "resource-block $_ ", $_ + 12, "\n" for @headers;
    print "resource-block ", $archiveStart - 16, " $archiveStart\n";
    return ($start, $stop);
}

# Windows: RCDATA 128 found through the resource directory of the PE image.
sub peResources {
    my $pe = unpack("V", substr($image, 0x3c, 4));
    die "no PE header\n" if substr($image, $pe, 4) ne "PE\0\0";
    my ($sections, $optionalSize) = unpack("x2 v x12 v", substr($image, $pe + 4, 20));
    my $optional = $pe + 24;
    my $magic = unpack("v", substr($image, $optional, 2));
    my $directories = $optional + ($magic == 0x20b ? 112 : 96);
    my $headersSize = unpack("V", substr($image, $optional + 60, 4));
    my ($rsrcRva) = unpack("V", substr($image, $directories + 2 * 8, 4));
    my ($rsrcVa, $rsrcRaw, $rsrcRawSize);
    for my $i (0 .. $sections - 1) {
        my ($vsize, $va, $rawSize, $raw) =
            unpack("V V V V", substr($image, $optional + $optionalSize + 40 * $i + 8, 16));
        ($rsrcVa, $rsrcRaw, $rsrcRawSize) = ($va, $raw, $rawSize)
            if $rsrcRva >= $va && $rsrcRva < $va + ($vsize > $rawSize ? $vsize : $rawSize);
    }
    die "no resource section\n" unless defined $rsrcVa;
    my $base = $rsrcRaw + $rsrcRva - $rsrcVa;
    print "pe-headers 0 $headersSize\n";
    print "resource-section $rsrcRaw ", $rsrcRaw + $rsrcRawSize, "\n";

    # Walks the three levels (type, name, language); resource 128 is its first language. The
    # system loader reads the manifest (type 24) through the root directory before any of
    # ours runs: their bytes stay whole, as the ELF image does on Linux.
    my ($start, $stop);
    my $walk;
    $walk = sub {
        my ($offset, $path) = @_;
        my ($named, $ids) = unpack("v v", substr($image, $base + $offset + 12, 4));
        my $entries = $base + $offset + 16;
        print "resource-block ", $base + $offset, " $entries\n" if $path ne "";
        for my $i (0 .. $named + $ids - 1) {
            my ($name, $target) = unpack("V V", substr($image, $entries + 8 * $i, 8));
            my $key = "$path/" . ($name & 0x80000000 ? "named" : $name);
            next if $key =~ m{^/24(/|$)};
            print "resource-block ", $entries + 8 * $i, " ", $entries + 8 * $i + 8, "\n";
            if ($target & 0x80000000) {
                $walk->($target & 0x7fffffff, $key);
                next;
            }
            print "resource-block ", $base + $target, " ", $base + $target + 16, "\n";
            my ($dataRva, $dataSize) = unpack("V V", substr($image, $base + $target, 8));
            ($start, $stop) = ($rsrcRaw + $dataRva - $rsrcVa, $rsrcRaw + $dataRva - $rsrcVa + $dataSize)
                if !defined $start && $key =~ m{^/10/128/};
        }
    };
    $walk->(0, "");
    die "no resource 128\n" unless defined $start;
    return ($start, $stop);
}

print "resource128 $appStart $appEnd\n";

# The application archive is stored with each byte rotated right by two bits.
my $app = join "", map { chr(((ord($_) << 2) | (ord($_) >> 6)) & 0xFF) }
    split //, substr($image, $appStart, $appEnd - $appStart);
my $local = index($app, "PK\x03\x04");
my $found;
while ($local >= 0) {
    my ($csize, $usize, $nameLength, $extraLength) = unpack("V V v v", substr($app, $local + 18, 12));
    if (substr($app, $local + 30, $nameLength) eq $nested) {
        my $data = $local + 30 + $nameLength + $extraLength;
        print "nested ", $appStart + $data, " ", $appStart + $data + $csize, "\n";
        $found = 1;
        last;
    }
    $local = index($app, "PK\x03\x04", $local + 4);
}
die "no nested archive $nested\n" unless $found;
print "appended $archiveStart ", $end + 22, "\n";
print "configuration ", $end + 22, " $size\n";

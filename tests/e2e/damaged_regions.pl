#!/usr/bin/perl
# Prints the regions of a packed Linux executable that the damaged-executables test damages,
# one "NAME START END" line each (byte offsets, END exclusive):
#   resource-block   the block's entry headers and trailer
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
my ($count, $blockSize) = unpack("V V", substr($image, $archiveStart - 16, 8));
die "no resource block\n" if substr($image, $archiveStart - 8, 8) ne "ZORRSRC1";
my $blockStart = $archiveStart - $blockSize;

my ($appStart, $appEnd);
my @headers;
my $at = $blockStart;
for (1 .. $count) {
    my ($type, $id, $length) = unpack("V V V", substr($image, $at, 12));
    push @headers, $at;
    ($appStart, $appEnd) = ($at + 12, $at + 12 + $length) if $type == 10 && $id == 128;
    $at += 12 + $length;
}
die "no resource 128\n" unless defined $appStart;
print "resource-block $_ ", $_ + 12, "\n" for @headers;
print "resource-block ", $archiveStart - 16, " $archiveStart\n";
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

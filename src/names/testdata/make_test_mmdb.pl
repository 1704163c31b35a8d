#!/usr/bin/perl
# Writes the small MMDB country databases the tests read, with Debian's
# libmaxmind-db-writer-perl:
#   src/names/testdata/make_test_mmdb.pl src/names/testdata
# country.mmdb   IPv6 tree with the IPv4 space aliased: networks with
#                country.iso_code, one with registered_country only, one in
#                the flat layout of IPinfo Lite (country_code), one code the
#                top-level-domain table lacks (RS), one no table knows (ZZ)
# country-v4.mmdb  an IPv4-only tree
# The files are committed beside this script, so the tests need no Perl.
use strict;
use warnings;
use MaxMind::DB::Writer::Tree;

my $dir = shift // '.';

my %types = (
    country            => 'map',
    registered_country => 'map',
    iso_code           => 'utf8_string',
    country_code       => 'utf8_string',
    names              => 'map',
    en                 => 'utf8_string',
);

sub tree {
    my ($ip_version, $type) = @_;
    return MaxMind::DB::Writer::Tree->new(
        ip_version            => $ip_version,
        record_size           => 24,
        database_type         => $type,
        languages             => ['en'],
        description           => { en => 'Logvane test countries, CC BY 4.0' },
        map_key_type_callback => sub { $types{ $_[0] } },
        alias_ipv6_to_ipv4    => ($ip_version == 6 ? 1 : 0),
    );
}

sub country { return { country => { iso_code => $_[0], names => { en => $_[0] } } } }

my $six = tree(6, 'Logvane-Test-Country');
$six->insert_network('81.2.69.0/24',    country('GB'));
$six->insert_network('89.160.20.0/24',  country('SE'));
$six->insert_network('175.16.199.0/24', country('CN'));
$six->insert_network('216.160.83.0/24', country('US'));
$six->insert_network('41.0.0.0/16',     { registered_country => { iso_code => 'ZA' } });
$six->insert_network('5.62.60.0/24',    { country_code => 'NO' });
$six->insert_network('77.46.128.0/17',  country('RS'));
$six->insert_network('62.1.2.0/24',     country('ZZ'));
$six->insert_network('2001:200::/32',   country('JP'));
$six->insert_network('2a02:cf40::/32',  country('DE'));
$six->insert_network('2c0f:f248::/32',  country('ZA'));
$six->_set_build_epoch(1750000000);

my $four = tree(4, 'Logvane-Test-Country-IPv4');
$four->insert_network('81.2.69.0/24', country('GB'));
$four->_set_build_epoch(1750000000);

for ([ $six, 'country.mmdb' ], [ $four, 'country-v4.mmdb' ]) {
    my ($tree, $name) = @$_;
    open my $fh, '>:raw', "$dir/$name" or die "$dir/$name: $!";
    $tree->write_tree($fh);
    close $fh or die "$dir/$name: $!";
}

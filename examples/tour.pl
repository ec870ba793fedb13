#!/usr/bin/perl
# A first tour of the client: start it, read the locale and the library
# version, create contexts, change and read their settings and the default
# name context, and release everything again.
#
#   perl -Mblib examples/tour.pl
use strict;
use warnings;
use Vorla qw(:constants);

sub check { my ($what, $rc) = @_; die "$what failed: $rc\n" if $rc; }

check("NWCallsInit", Vorla::NWCallsInit(0, 0));
check("NWNetInit",   Vorla::NWNetInit(my $in = "", my $out = ""));

my ($code_page, $country) = Vorla::NWLlocaleconv();
printf "locale: code page %d, country %d\n", $code_page, $country;
check("NWInitUnicodeTables", Vorla::NWInitUnicodeTables($country, $code_page));
printf "client library version %d.%d.%d (beta %d)\n", Vorla::NWGetNWNetVersion(0);

my $default = "";
check("NWGetDefaultNameContext", Vorla::NWGetDefaultNameContext(256, $default));
print "default name context: $default\n";

my $ctx = Vorla::NWDSCreateContextHandle();
defined $ctx or die "no context: " . Vorla::GetLastErr() . "\n";
print "context $ctx\n";
for my $key (qw(DCK_FLAGS DCK_CONFIDENCE DCK_NAME_CONTEXT DCK_REFERRAL_SCOPE DCK_LAST_CONNECTION DCK_TREE_NAME)) {
    my $value = Vorla::NWDSGetContext($ctx, Vorla::constant($key, 0));
    printf "  %-20s %s\n", $key, defined $value ? $value : "(error " . Vorla::GetLastErr() . ")";
}

my $flags = Vorla::NWDSGetContext($ctx, DCK_FLAGS);
check("NWDSSetContext flags", Vorla::NWDSSetContext($ctx, DCK_FLAGS, $flags | DCV_TYPELESS_NAMES));
check("NWDSSetContext name", Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "OU=Sales.O=Example"));
printf "after changes: flags %d, name context %s\n",
    Vorla::NWDSGetContext($ctx, DCK_FLAGS), Vorla::NWDSGetDefNameContext($ctx);

my $copy = Vorla::NWDSDuplicateContext($ctx);
die "duplicate failed: $copy\n" if $copy < 0;
printf "duplicate %d has name context %s\n", $copy, Vorla::NWDSGetContext($copy, DCK_NAME_CONTEXT);

check("NWSetDefaultNameContext", Vorla::NWSetDefaultNameContext(length "O=Example", "O=Example"));
Vorla::NWGetDefaultNameContext(256, $default);
print "default name context now: $default\n";

check("NWDSFreeContext", Vorla::NWDSFreeContext($_)) for $copy, $ctx;
my $gone = Vorla::NWDSGetContext($ctx, DCK_FLAGS);
printf "a freed context answers %s (status %d)\n", defined $gone ? $gone : "undef", Vorla::GetLastErr();

check("NWFreeUnicodeTables", Vorla::NWFreeUnicodeTables());
check("NWNetTerm",   Vorla::NWNetTerm(my $reserved = ""));
check("NWCallsTerm", Vorla::NWCallsTerm(0));
print "done\n";

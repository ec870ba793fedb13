# Starting and releasing the client, the locale record, the Unicode tables and
# the version: none of these touches the last status.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Trace;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:'; delete $ENV{NWCLIENT_FAULTS} }
use Vorla;

{
    local $ENV{NWCLIENT_FAULTS} = 'NWDSCreateContextHandle=-301';
    Vorla::NWDSCreateContextHandle();
}
is Vorla::GetLastErr(), -301, 'a last status to keep';

my @t = traced { Vorla::NWCallsTerm(undef); Vorla::NWCallsInit(0, 0); Vorla::NWCallsTerm("anything") };
like $t[0], qr/^NWCallsTerm\(reserved=NULL\) = /, 'NWCallsTerm passes a null pointer for undef';
like $t[2], qr/^NWCallsTerm\(reserved=NULL\) = 0$/, 'and for any other value';

my @locale = Vorla::NWLlocaleconv();
is scalar(@locale), 2, 'NWLlocaleconv gives two integers';
my ($code_page, $country) = @locale;
is Vorla::NWInitUnicodeTables($country, $code_page), 0, 'the tables load for the reported locale';
is Vorla::NWFreeUnicodeTables(), 0, 'and are freed';
isnt Vorla::NWInitUnicodeTables($country, 12345), 0, 'an unknown code page is refused';

eval { &Vorla::NWGetNWNetVersion() };
like $@, qr/^Usage: Vorla::NWGetNWNetVersion\(void\) at /, 'NWGetNWNetVersion needs its one argument';
my @v = Vorla::NWGetNWNetVersion("whatever");
is scalar(@v), 4, 'four version numbers';
is scalar(grep { $_ >= 0 && $_ <= 255 } @v), 4, 'each a byte';

my $in = "in";
my $out = "unchanged";
is Vorla::NWNetInit($in, $out), 0, 'NWNetInit';
is $out, 'unchanged', 'out keeps its text when the client wrote nothing';
my $undef_out;
@t = traced {; Vorla::NWNetInit(undef, $undef_out) };
like $t[0], qr/^NWNetInit\(in=NULL, /, 'a scalar without storage passes a null pointer';
is Vorla::NWNetTerm(my $r), 0, 'NWNetTerm';

is Vorla::GetLastErr(), -301, 'the last status was not touched';
done_testing;

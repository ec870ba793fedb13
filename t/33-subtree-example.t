# examples/subtree.pl run as a user would run it, on either backend
# (t/lib/Backend.pm): it builds its subtree, prints what it reads back and
# removes it; on a server nothing of it is left.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Backend password => 'subtree-pw';
use Vorla qw(:constants);

local $ENV{ADMIN_PASSWORD} = Backend::password();
my $cmd = join ' ', map { "'$_'" } $^X, (map { "-I$_" } grep { !ref } @INC), "$FindBin::Bin/../examples/subtree.pl";
my $out = `$cmd 2>&1`;
is $? >> 8, 0, 'the example runs to its end' or diag $out;
is scalar(() = $out =~ /^added /mg), 4, 'four entries added';
like $out, qr/^CN=asmith\.OU=Sales\n(?:    .*\n)*?    Telephone Number +555-0103\n    Telephone Number +555-0104\n/m,
    'values read back under their entry';
like $out, qr/^    Postal Address +Jane Doe \| 1 Main Street \| Springfield \| IL \| 62701 \| USA$/m, 'a postal address';
like $out, qr/^    Surname +Roe$/m, 'a surname';
like $out, qr/\nremoved the subtree\n\z/, 'and removed';

SKIP: {
    skip 'over LDAP only', 1 unless Backend::ldap();
    is Backend::ldapsearch("ou=Sales,$Backend::BASE", 'ou'), '', 'nothing of it left on the server';
}
done_testing;

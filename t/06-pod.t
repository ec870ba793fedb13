# The POD lists every sub with the arguments its usage message gives, so the
# user guide cannot drift from the module.
use strict;
use warnings;
use Test::More;
BEGIN { $ENV{NWCLIENT_STORE} = ':memory:' }
use Vorla;

my $pm = $INC{'Vorla.pm'};
open my $fh, '<', $pm or die "$pm: $!";
my @items = map { /^=item (Vorla::(\w+)\(.*\))$/ ? [$1, $2] : () } <$fh>;
is scalar(@items), 137, 'the POD lists 137 subs';
my %seen;
$seen{ $_->[1] }++ for @items;
is_deeply [grep { $seen{$_} > 1 } sort keys %seen], [], 'each once';
for my $item (@items) {
    my ($text, $name) = @$item;
    my $proto = prototype("Vorla::$name");
    ok defined $proto, "$name is a sub" or next;
    my @too_many = (0) x (length($proto) + 1);
    eval { no strict 'refs'; &{"Vorla::$name"}(@too_many) };
    like $@, qr/^Usage: \Q$text\E at /, "$name as documented";
}
done_testing;

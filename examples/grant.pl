#!/usr/bin/perl
# Grants a user rights on an organizational unit (to browse, create and
# rename its entries, and to read and write their attributes), then checks
# what the user effectively holds there and below it.
#
#   perl -Mblib examples/grant.pl OU USER
use strict;
use warnings;
use Vorla::Tree;
use Vorla::Convert;

my ($ou, $user) = @ARGV;
my $tree = Vorla::Tree->new(context => 'O=Example', user => 'Admin', password => $ENV{ADMIN_PASSWORD});
$tree->modify($ou, add => { ACL => [
    { attribute => '[Entry Rights]', rights => 'BAR', subject => $user },
    { attribute => '[All Attributes Rights]', rights => 'CRW', subject => $user } ] });

for my $acl ($tree->read($ou, attrs => ['ACL'])->get_struct('ACL')) {
    print "granted on $ou: $acl->{attribute} $acl->{rights} to $acl->{subject}\n" if lc $acl->{subject} eq lc $user;
}
my $below = $tree->search(base => $ou, scope => 'one', attrs => ['CN'])->next;
for my $object ($ou, $below ? $below->dn : ()) {
    for my $attr ('[Entry Rights]', 'Telephone Number') {
        my $mask = $tree->effective_rights($user, $object, $attr);
        printf "%s holds on %s, %s: %s\n", $user, $object, $attr, Vorla::Convert::rights_letters($attr, $mask);
    }
}

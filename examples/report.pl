#!/usr/bin/perl
# Reports the users with a given surname, or whose telephone number starts
# with a prefix, then the groups they are in with all their members.
#
#   perl -Mblib examples/report.pl surname Doe
#   perl -Mblib examples/report.pl phone 555-01
use strict;
use warnings;
use Vorla::Tree;

my ($by, $what) = @ARGV;
my $filter = $by eq 'phone' ? "(Telephone Number=$what*)" : "(Surname=$what)";
my $tree = Vorla::Tree->new(context => 'O=Example', user => 'Admin', password => $ENV{ADMIN_PASSWORD});
my $users = $tree->search(filter => "(&(Object Class=User)$filter)",
                          attrs => ['Given Name', 'Surname', 'Telephone Number', 'Group Membership']);
my %groups;
while (my $u = $users->next) {
    printf "%-24s %-10s %-10s %s\n", $u->dn, $u->get_value('Given Name') // '', $u->get_value('Surname'),
        join(' ', $u->get_value('Telephone Number'));
    $groups{$_}++ for $u->get_value('Group Membership');
}
printf "%d users\n", $users->count;
for my $group (sort keys %groups) {
    my @members = $tree->members($group);
    printf "%s (%d members): %s\n", $group, scalar @members, join(', ', map { s/\..*//r } @members);
}

#!/usr/bin/perl
# Adds the users of a CSV file (cn, given name, surname, telephone, logins,
# group, password) to an organizational unit, each with its password and in
# its group (made when missing).   perl -Mblib examples/add_users.pl FILE OU
use strict;
use warnings;
use Vorla::Tree;

my ($file, $ou) = @ARGV;
my $tree = Vorla::Tree->new(context => 'O=Example', user => 'Admin', password => $ENV{ADMIN_PASSWORD});
$tree->add($ou, { 'Object Class' => 'Organizational Unit' }) unless $tree->exists($ou);
open my $csv, '<', $file or die "$file: $!\n";
<$csv>;    # the header
while (<$csv>) {
    chomp;
    my ($cn, $given, $surname, $phone, $logins, $group, $password) = split /,/;
    my ($user, $grp) = ("CN=$cn.$ou", "CN=$group.$ou");
    $tree->add($grp, { 'Object Class' => 'Group' }) unless $tree->exists($grp);
    $tree->add($user, { 'Object Class' => 'User', 'Given Name' => $given, Surname => $surname, 'Telephone Number' => $phone,
                        'Login Maximum Simultaneous' => $logins, 'Group Membership' => $grp });
    $tree->modify($grp, add => { Member => $user });
    $tree->set_password($user, $password);
}
print $. - 1, " users added to $ou\n";

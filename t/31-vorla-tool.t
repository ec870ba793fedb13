# The command-line tool: a store made with the Admin's password read from
# standard input; a subtree exported, imported into a fresh store and
# exported again gives the same file and the same entries and values; the
# export reads cleanly with Net::LDAP::LDIF; bad LDIF is refused with its
# line number, a value the directory refuses undoes the import, and in both
# cases nothing is left half-written.
use strict;
use warnings;
use Test::More;
use File::Temp ();
use FindBin ();
BEGIN { delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE NWCLIENT_STORE NWCLIENT_ADMIN_PASSWORD)} }
use Vorla::Tree;

my $dir = File::Temp->newdir;
my $tool = "$FindBin::Bin/../bin/vorla";
open my $pwf, '>', "$dir/pw" or die;
print {$pwf} "admin-pw\n";
close $pwf;

# Runs the tool; gives (exit status, standard output, standard error).
sub vorla {
    my ($stdin, @args) = @_;
    my $cmd = join ' ', map { "'$_'" } $^X, (map { "-I$_" } @INC), $tool, @args;
    open my $in, '>', "$dir/in" or die;
    print {$in} $stdin // '';
    close $in;
    my $out = `$cmd <'$dir/in' 2>'$dir/err'`;
    my $rc = $? >> 8;
    open my $e, '<', "$dir/err" or die;
    return ($rc, $out, do { local $/; <$e> });
}
my @admin = ('-D', 'CN=Admin.O=Example', '-y', "$dir/pw");

my ($rc, $out, $err) = vorla("admin-pw\n", '-s', "$dir/a.db", 'create');
is $rc, 0, 'a store made' or diag $err;
is((stat "$dir/a.db")[2] & 0777, 0600, 'readable by its owner only');
is((vorla("admin-pw\n", '-s', "$dir/a.db", 'create'))[0], 2, 'not twice');

my $a = Vorla::Tree->new(store => "$dir/a.db", context => 'O=Example', user => 'Admin', password => 'admin-pw');
$a->add('OU=Sales', { 'Object Class' => 'Organizational Unit', Description => 'The sales team' });
for my $i (1 .. 20) {
    $a->add("CN=u$i.OU=Sales", { 'Object Class' => 'User', Surname => "Sur$i", 'Telephone Number' => ["555-$i", "556-$i"],
                                'Login Maximum Simultaneous' => $i, 'Postal Address' => [["$i Main St", 'Springfield']],
                                ACL => { attribute => '[Entry Rights]', rights => 'BR', subject => '[Root]' },
                                Description => " leading blank and ünïcode $i" });
}
$a->add('OU=East.OU=Sales', { 'Object Class' => 'Organizational Unit' });
$a->add('CN=staff.OU=East.OU=Sales', { 'Object Class' => 'Group', Member => [map { "CN=u$_.OU=Sales" } 1 .. 5] });

($rc, $out, $err) = vorla(undef, '-s', "$dir/a.db", @admin, 'export', '-b', 'OU=Sales.O=Example', '-o', "$dir/a.ldif");
is $rc, 0, 'exported' or diag $err;
like $err, qr/^exported 23 entries \(\d+ values\)/m, 'with a summary';

SKIP: {
    skip 'Net::LDAP::LDIF is not installed', 2 unless eval { require Net::LDAP::LDIF };
    my $ldif = Net::LDAP::LDIF->new("$dir/a.ldif", 'r', onerror => undef);
    my $n = 0;
    while (my $e = $ldif->read_entry) { $n++ }
    ok !$ldif->error, 'Net::LDAP::LDIF reads the export without error' or diag $ldif->error;
    is $n, 23, 'every entry';
}

is((vorla("admin-pw\n", '-s', "$dir/b.db", 'create'))[0], 0, 'a fresh store');
($rc, $out, $err) = vorla(undef, '-s', "$dir/b.db", @admin, 'import', "$dir/a.ldif");
is $rc, 0, 'imported' or diag $err;
like $err, qr/^imported 23 entries/m, 'with a summary';
is((vorla(undef, '-s', "$dir/b.db", @admin, 'export', '-b', 'OU=Sales.O=Example', '-o', "$dir/b.ldif"))[0], 0, 'exported again');
is slurp("$dir/b.ldif"), slurp("$dir/a.ldif"), 'the same LDIF';
my $b = Vorla::Tree->new(store => "$dir/b.db", context => 'O=Example', user => 'Admin', password => 'admin-pw');
my @names = map { $_->dn } $a->search(base => 'OU=Sales')->all;
is scalar(@names), 23, 'the entries of the subtree';
is_deeply { map { ($_ => $b->read($_)->as_hash) } @names }, { map { ($_ => $a->read($_)->as_hash) } @names },
    'the same entries and values in both stores';

# Bad input: a syntax error on line 7, and a value the directory refuses.
write_file("$dir/bad.ldif", "dn: CN=ok1.OU=Sales.O=Example\nObject-Class: User\nSurname: One\n\n"
                          . "dn: CN=bad.OU=Sales.O=Example\nObject-Class: User\nno colon on this line\n");
($rc, $out, $err) = vorla(undef, '-s', "$dir/b.db", @admin, 'import', "$dir/bad.ldif");
is $rc, 2, 'bad LDIF is refused';
like $err, qr{^vorla: \S*bad\.ldif:7: }, 'with its line number';
write_file("$dir/bad2.ldif", "dn: CN=ok1.OU=Sales.O=Example\nObject-Class: User\nSurname: One\n\n"
                           . "dn: CN=ok2.OU=Sales.O=Example\nObject-Class: User\nSurname: Two\nLogin-Maximum-Simultaneous: many\n");
($rc, $out, $err) = vorla(undef, '-s', "$dir/b.db", @admin, 'import', "$dir/bad2.ldif");
is $rc, 1, 'a refused value fails the import';
like $err, qr/adding CN=ok2.*Login Maximum Simultaneous.*ERR_SYNTAX_VIOLATION \(-613\); nothing imported/, 'saying why';
ok !$b->exists('CN=ok1.OU=Sales'), 'nothing half-written';

# Changes from LDIF, then deleting.
write_file("$dir/mod.ldif", "dn: CN=u1.OU=Sales.O=Example\nchangetype: modify\nreplace: Surname\nSurname: Changed\n-\n"
                          . "delete: Telephone-Number\nTelephone-Number: 555-1\n-\n\n"
                          . "dn: CN=u2.OU=Sales.O=Example\nchangetype: modrdn\nnewrdn: CN=u2b\ndeleteoldrdn: 1\n");
($rc, $out, $err) = vorla(undef, '-s', "$dir/b.db", @admin, 'modify', "$dir/mod.ldif");
is $rc, 0, 'modified' or diag $err;
my $u1 = $b->read('CN=u1.OU=Sales');
is_deeply [$u1->get_value('Surname'), $u1->get_value('Telephone Number')], ['Changed', '556-1'], 'replaced and deleted';
ok $b->exists('CN=u2b.OU=Sales'), 'renamed';
($rc, $out, $err) = vorla(undef, '-s', "$dir/b.db", @admin, 'delete', 'CN=u2b.OU=Sales.O=Example', 'CN=nobody.O=Example');
is $rc, 1, 'deleting what is not there fails';
like $err, qr/^vorla: removing CN=nobody.O=Example: ERR_NO_SUCH_ENTRY \(-601\)$/m, 'as a shell user reads it';
($rc, $out) = vorla(undef, '-s', "$dir/b.db", @admin, 'search', '-t', '-b', 'OU=Sales.O=Example', '(Surname=Changed)', 'Surname');
is $out, "name\tSurname\nCN=u1.OU=Sales.O=Example\tChanged\n", 'a search as a table';
is((vorla(undef, 'frobnicate'))[0], 2, 'an unknown command');

sub slurp { open my $f, '<', $_[0] or die "$_[0]: $!"; local $/; <$f> }
sub write_file { open my $f, '>', $_[0] or die; print {$f} $_[1]; close $f }

done_testing;

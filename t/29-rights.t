#!/usr/bin/perl
# Rights end to end: what a context may do before it logs in, what a user
# without rights is refused (and that nothing changed), how each kind of
# grant gives the right and an inheritance mask takes it away, and the
# escalations a user must not get through.
use strict;
use warnings;
use Test::More;
BEGIN {
    $ENV{NWCLIENT_STORE} = ':memory:';
    $ENV{NWCLIENT_ADMIN_PASSWORD} = 'admin-pw';
    delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE NWCLIENT_NAME_CONTEXT)};
}
use Vorla qw(:constants);
use Vorla::Tree;

my $NO_ACCESS = -672;
my $admin = Vorla::Tree->new(context => 'O=Example', user => 'Admin', password => 'admin-pw');
$admin->add('OU=Sales', { 'Object Class' => 'Organizational Unit' });
$admin->add('OU=Eng', { 'Object Class' => 'Organizational Unit' });
for my $u (qw(CN=ann.OU=Eng CN=bob.OU=Sales CN=cat.OU=Sales)) {
    $admin->add($u, { 'Object Class' => 'User', Surname => 'S', 'Telephone Number' => '555-0000' });
    $admin->set_password($u, 'pw');
}
$admin->add('CN=staff.OU=Sales', { 'Object Class' => 'Group' });

subtest 'before a login: browse and nothing more' => sub {
    my $anon = Vorla::Tree->new(context => 'O=Example', raise => 0);
    ok $anon->exists('CN=bob.OU=Sales'), 'an entry is found';
    is scalar(() = $anon->search(base => 'OU=Sales', scope => 'one')->all), 3, 'a container is listed';
    ok !$anon->read('CN=bob.OU=Sales', attrs => ['Surname']), 'a value is not read';
    is $anon->status, $NO_ACCESS, 'ERR_NO_ACCESS';
    ok !$anon->add('CN=eve.OU=Sales', { 'Object Class' => 'User', Surname => 'E' }), 'nothing is added';
    is $anon->status, $NO_ACCESS, 'ERR_NO_ACCESS';
    is $admin->effective_rights('[Public]', 'CN=bob.OU=Sales'), DS_ENTRY_BROWSE, '[Public] holds browse alone';
};

# Each change ann (of OU=Eng) tries on OU=Sales, and how to tell it took.
my @changes = (
    [add    => sub { $_[0]->add('CN=new.OU=Sales', { 'Object Class' => 'User', Surname => 'N' }) },
               sub { $admin->exists('CN=new.OU=Sales') }],
    [modify => sub { $_[0]->modify('CN=cat.OU=Sales', replace => { 'Telephone Number' => '555-1111' }) },
               sub { $admin->read('CN=cat.OU=Sales')->get_value('Telephone Number') eq '555-1111' }],
    [rename => sub { $_[0]->rename('CN=cat.OU=Sales', 'CN=kit') },
               sub { $admin->exists('CN=kit.OU=Sales') }],
    [remove => sub { $_[0]->remove('CN=bob.OU=Sales') },
               sub { !$admin->exists('CN=bob.OU=Sales') }],
);
my $ann = Vorla::Tree->new(context => 'O=Example', user => 'CN=ann.OU=Eng', password => 'pw', raise => 0);

subtest 'a user without rights is refused every change, and nothing changed' => sub {
    for my $c (@changes) {
        my ($what, $try, $took) = @$c;
        ok !$try->($ann), "$what refused";
        is $ann->status, $NO_ACCESS, "$what: ERR_NO_ACCESS";
        ok !$took->(), "$what: nothing changed";
    }
    ok !$ann->move('CN=bob.OU=Sales', 'OU=Eng'), 'a move refused';
    ok $admin->exists('CN=bob.OU=Sales'), 'and bob stays';
};

# Grants ann the rights through one route, checks that the change takes,
# and puts the tree back.
my $grant_all = sub { [{ attribute => '[Entry Rights]', rights => 'BADR', subject => $_[0] },
                       { attribute => '[All Attributes Rights]', rights => 'CRW', subject => $_[0] }] };
my %routes = (
    'an ACL naming the user'     => sub { $admin->modify('OU=Sales', add => { ACL => $grant_all->('CN=ann.OU=Eng') }) },
    'a group the user is in'     => sub {
        $admin->modify('CN=staff.OU=Sales', add => { Member => 'CN=ann.OU=Eng' });
        $admin->modify('CN=ann.OU=Eng', add => { 'Group Membership' => 'CN=staff.OU=Sales' });
        $admin->modify('OU=Sales', add => { ACL => $grant_all->('CN=staff.OU=Sales') });
    },
    'a container above the user' => sub { $admin->modify('OU=Sales', add => { ACL => $grant_all->('OU=Eng') }) },
    'a security equivalence'     => sub {
        $admin->modify('CN=ann.OU=Eng', add => { 'Security Equals' => 'CN=bob.OU=Sales' });
        $admin->modify('OU=Sales', add => { ACL => $grant_all->('CN=bob.OU=Sales') });
    },
);
for my $route (sort keys %routes) {
    subtest "the change succeeds through $route" => sub {
        $routes{$route}->();
        my ($what, $try, $took) = @{ $changes[1] };
        ok $try->($ann), "$what allowed" or diag $ann->error;
        ok $took->(), "$what took";
        $admin->modify('CN=cat.OU=Sales', replace => { 'Telephone Number' => '555-0000' });
        ok $ann->add('CN=new.OU=Sales', { 'Object Class' => 'User', Surname => 'N' }), 'add allowed' or diag $ann->error;
        ok $ann->remove('CN=new.OU=Sales'), 'remove allowed' or diag $ann->error;
        # Back to no rights (what a route did not add is not there to remove).
        my $raise = $admin->raise(0);
        $admin->modify('OU=Sales', delete => ['ACL']);
        $admin->modify('CN=ann.OU=Eng', delete => [$_]) for 'Security Equals', 'Group Membership';
        $admin->modify('CN=staff.OU=Sales', delete => ['Member']);
        $admin->raise($raise);
        ok !$try->($ann), 'refused again once the grant is gone';
    };
}

subtest 'an inheritance mask takes an inherited right away' => sub {
    $admin->modify('OU=Sales', add => { ACL => $grant_all->('CN=ann.OU=Eng') });
    ok $admin->effective_rights('CN=ann.OU=Eng', 'CN=cat.OU=Sales', 'Telephone Number') & DS_ATTR_WRITE, 'write flows down';
    $admin->modify('CN=cat.OU=Sales', add => { ACL => { attribute => '[All Attributes Rights]', rights => 'CR',
                                                        subject => '[Inheritance Mask]' } });
    ok !($admin->effective_rights('CN=ann.OU=Eng', 'CN=cat.OU=Sales', 'Telephone Number') & DS_ATTR_WRITE),
        'the mask keeps it out';
    ok !$ann->modify('CN=cat.OU=Sales', replace => { 'Telephone Number' => '555-2222' }), 'and the change is refused';
    is $admin->read('CN=cat.OU=Sales')->get_value('Telephone Number'), '555-0000', 'nothing changed';
    # A search weighs each entry's own ACL too: a mask that keeps browse
    # out hides the entry from ann, not from the Admin granted on it.
    $admin->modify('CN=cat.OU=Sales', add => { ACL => [{ attribute => '[Entry Rights]', rights => '', subject => '[Inheritance Mask]' },
                                                       { attribute => '[Entry Rights]', rights => 'S', subject => 'CN=Admin' }] });
    my $found = sub { [sort map { $_->dn } $_[0]->search(base => 'OU=Sales', filter => '(Surname=S)')->all] };
    is_deeply $found->($ann), ['CN=bob.OU=Sales'], 'a search does not find the masked entry';
    is_deeply $found->($admin), ['CN=bob.OU=Sales', 'CN=cat.OU=Sales'], 'its trustee still does';
    $admin->modify('CN=cat.OU=Sales', delete => ['ACL']);
    $admin->modify('OU=Sales', delete => ['ACL']);
};

subtest 'escalations are refused' => sub {
    my $bob = Vorla::Tree->new(context => 'O=Example', user => 'CN=bob.OU=Sales', password => 'pw', raise => 0);
    ok !$bob->modify('CN=bob.OU=Sales', add => { 'Security Equals' => 'CN=Admin' }), 'making oneself equal to the Admin';
    is $bob->status, $NO_ACCESS, 'ERR_NO_ACCESS';
    ok !$bob->set_password('CN=Admin', 'mine'), "setting the Admin's password";
    is $bob->status, $NO_ACCESS, 'ERR_NO_ACCESS';
    ok $admin->verify_password('CN=Admin', 'admin-pw'), 'which is unchanged';
    ok !$bob->modify('CN=bob.OU=Sales', add => { ACL => { attribute => '[Entry Rights]', rights => 'S', subject => 'CN=bob.OU=Sales' } }),
        'writing an ACL';
    is $admin->effective_rights('CN=bob.OU=Sales', 'CN=bob.OU=Sales') & DS_ENTRY_SUPERVISOR, 0, 'no supervisor gained';
    ok $bob->set_password('CN=bob.OU=Sales', 'new', 'pw'), 'but a user changes its own password' or diag $bob->error;
    ok $admin->verify_password('CN=bob.OU=Sales', 'new'), 'to the new one';
};

done_testing;

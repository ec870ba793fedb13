# The rest of reading and changing, end to end through the module: backup
# data read out of the result buffer and handed back to a restore, object
# information, containable classes, references and inspection, value
# information, aliases in a read, and names inside values that follow their
# entries when these are renamed or removed.  (Wildcard and text filters on a
# tree of 10,000 entries are compared with answers by hand in
# 25-search-filters.t.)
use strict;
use warnings;
use Test::More;
BEGIN {
    $ENV{NWCLIENT_STORE} = ':memory:';
    $ENV{NWCLIENT_ADMIN_PASSWORD} = 'dir-secret';
    delete @ENV{qw(NWCLIENT_FAULTS NWCLIENT_TRACE NWCLIENT_NAME_CONTEXT)};
}
use Vorla qw(:constants);
use Vorla::Info;
use Vorla::Tree;

my $tree = Vorla::Tree->new(context => 'O=Example', user => 'Admin', password => 'dir-secret');
our $h = $tree->handle;
my $END = NO_MORE_ITERATIONS & 0xFFFFFFFF;
my ($NO_SUCH_ENTRY, $ALREADY_EXISTS, $NO_ACCESS) = (-601, -606, -672);

# The backup data of an entry, read through the readers from result buffers
# of `size` bytes, and the number of parts it came in; (undef, status) on failure.
sub backup {
    my ($name, $size) = @_;
    Vorla::NWDSAllocBuf($size, my $out) == 0 or die 'alloc';
    my ($iter, $parts, $data) = (NO_MORE_ITERATIONS, 0, '');
    do {
        my $rc = Vorla::NWDSBackupObject($h, $name, $iter, $out);
        if ($rc) { Vorla::NWDSFreeBuf($out); return (undef, $rc) }
        $parts++;
        for (1 .. Vorla::NWDSGetAttrCount($h, $out)) {
            my ($attr, $n, $syntax) = Vorla::NWDSGetAttrName($h, $out);
            $data .= Vorla::NWDSGetAttrVal($h, $out, $syntax) for 1 .. $n;
        }
    } while (($iter & 0xFFFFFFFF) != $END);
    Vorla::NWDSFreeBuf($out);
    return ($data, $parts);
}

# Restores from the pieces given, all but the last sent with `more`.
sub restore {
    my ($name, @pieces) = @_;
    my $iter = NO_MORE_ITERATIONS;
    for my $i (0 .. $#pieces) {
        my $rc = Vorla::NWDSRestoreObject($h, $name, $iter, $i < $#pieces ? 1 : 0, length $pieces[$i], $pieces[$i]);
        return $rc if $rc;
    }
    return 0;
}

sub values_of { my $e = $tree->read($_[0]); return { map { $_ => [sort $e->get_value($_)] } $e->attributes } }

$tree->add('OU=Staff', { 'Object Class' => 'Organizational Unit' });
my $admin = '.CN=Admin.O=Example';
my %jdoe = ('Object Class' => 'User', Surname => 'Doe', Title => 'Clerk',
            'Telephone Number' => ['555-0100', '555-0101'], 'Login Grace Limit' => 6,
            'Postal Address' => "1 Main St\nSuite 2\nSpringfield\nIL\n62701\nUSA\n",
            'EMail Address' => "0\njdoe\@example.com\n",
            ACL => ["[All Attributes Rights]\n[CR]\nCN=Auditor.OU=Staff\n", "Title\n[CRW]\n$admin\n"]);
$tree->add('CN=Auditor.OU=Staff', { 'Object Class' => 'User', Surname => 'Audit' });
$tree->add('CN=jdoe.OU=Staff', \%jdoe);

subtest 'backup, remove and restore give the entry back whole' => sub {
    my $before = values_of('CN=jdoe.OU=Staff');
    my ($data, $parts) = backup('CN=jdoe.OU=Staff', DEFAULT_MESSAGE_LEN);
    ok defined $data && length $data, 'backup data read out of the buffer';
    is $parts, 1, 'in one part';
    $tree->remove('CN=jdoe.OU=Staff');
    ok !$tree->exists('CN=jdoe.OU=Staff'), 'removed';
    is restore('CN=jdoe.OU=Staff', $data), 0, 'restored';
    is_deeply values_of('CN=jdoe.OU=Staff'), $before, 'every attribute and value, the ACLs with them';
    is restore('CN=jdoe.OU=Staff', $data), $ALREADY_EXISTS, 'not over an entry that is there';
};

subtest 'a backup that needs several buffers, restored in several parts' => sub {
    $tree->add('CN=big.OU=Staff', { 'Object Class' => 'User', Surname => 'Big',
                                    'Telephone Number' => [map { sprintf '555-%06d', $_ } 1 .. 500] });
    my $before = values_of('CN=big.OU=Staff');
    my ($data, $parts) = backup('CN=big.OU=Staff', 2048);
    cmp_ok $parts, '>', 3, "$parts parts through the iteration handle";
    $tree->remove('CN=big.OU=Staff');
    my @pieces = unpack '(a1000)*', $data;
    is restore('CN=big.OU=Staff', @pieces), 0, scalar(@pieces) . ' pieces sent with more';
    is_deeply values_of('CN=big.OU=Staff'), $before, 'all 500 values back';
};

subtest 'bad backup data is refused and changes nothing' => sub {
    my ($data) = backup('CN=jdoe.OU=Staff', DEFAULT_MESSAGE_LEN);
    my $altered = $data;
    substr($altered, length($data) / 2, 1) =~ tr/0-9A-F/1-9A-F0/;    # one hex digit of a value changed
    my %bad = (truncated => substr($data, 0, length($data) - 20), altered => $altered,
               foreign => "dn: cn=jdoe,o=example\nobjectClass: inetOrgPerson\n", empty => '');
    for my $kind (sort keys %bad) {
        isnt restore('CN=copy.OU=Staff', $bad{$kind}), 0, "$kind data refused";
        ok !$tree->exists('CN=copy.OU=Staff'), "nothing added from $kind data";
    }
    is restore('CN=copy.OU=Staff', $data), 0, 'the sound data restores under another name';
    is $tree->read('CN=copy.OU=Staff')->get_value('Surname'), 'Doe', 'with its values';
};

subtest 'rights: a backup reads every attribute, a restore adds' => sub {
    $tree->set_password('CN=Auditor.OU=Staff', 'audit-pw');
    my $as = Vorla::Tree->new(context => 'O=Example', user => 'CN=Auditor.OU=Staff', password => 'audit-pw');
    local $h = $as->handle;
    my ($data) = backup('CN=jdoe.OU=Staff', DEFAULT_MESSAGE_LEN);
    ok defined $data, 'the Auditor may read all of jdoe, so may back it up';
    my (undef, $rc) = backup($admin, DEFAULT_MESSAGE_LEN);
    is $rc, $NO_ACCESS, 'not an entry whose attributes it may not all read';
    is restore('CN=copy2.OU=Staff', $data), $NO_ACCESS, 'nor restore where it may not add';
    ok !$tree->exists('CN=copy2.OU=Staff'), 'and nothing was added';
};

$tree->add('CN=Staff Alias', { 'Object Class' => 'Alias', 'Aliased Object Name' => 'OU=Staff' });
$tree->add('CN=jdoe alias.OU=Staff', { 'Object Class' => 'Alias', 'Aliased Object Name' => 'CN=jdoe.OU=Staff' });

subtest 'object information of users, containers and aliases' => sub {
    my $info = Vorla::Info->new('pObject_Info_T');
    my %want = ('CN=jdoe.OU=Staff' => ['User', 0, 0], 'OU=Staff' => ['Organizational Unit', DS_CONTAINER_ENTRY, 5],
                'CN=Staff Alias' => ['Organizational Unit', DS_CONTAINER_ENTRY, 5]);
    for my $name (sort keys %want) {
        is Vorla::NWDSReadObjectInfo($h, $name, my $dn, $info->handle), 0, "$name read";
        my $f = $info->fields;
        is_deeply [$f->{baseClass}, $f->{objectFlags} & (DS_CONTAINER_ENTRY | DS_ALIAS_ENTRY), $f->{subordinateCount}],
            $want{$name}, "$name: base class, flags, subordinates";
        cmp_ok $f->{modificationTime}, '>', 1_600_000_000, "$name: a modification time";
    }
    Vorla::NWDSReadObjectInfo($h, 'CN=Staff Alias', my $dn, $info->handle);
    is $dn, 'OU=Staff', 'dereferenced: the aliased entry and its name';
    Vorla::NWDSSetContext($h, DCK_FLAGS, Vorla::NWDSGetContext($h, DCK_FLAGS) & ~DCV_DEREF_ALIASES);
    is Vorla::NWDSReadObjectInfo($h, 'CN=Staff Alias', $dn, $info->handle), 0, 'without dereferencing';
    is_deeply [$dn, $info->fields->{baseClass}, $info->fields->{objectFlags} & DS_ALIAS_ENTRY],
        ['CN=Staff Alias', 'Alias', DS_ALIAS_ENTRY], 'the alias itself';
    Vorla::NWDSSetContext($h, DCK_FLAGS, Vorla::NWDSGetContext($h, DCK_FLAGS) | DCV_DEREF_ALIASES);
    is Vorla::NWDSReadObjectInfo($h, 'CN=Nobody', $dn, $info->handle), $NO_SUCH_ENTRY, 'no such entry';
};

subtest 'containable classes' => sub {
    Vorla::NWDSAllocBuf(256, my $out) == 0 or die 'alloc';
    my $classes = sub {
        my ($iter, @c) = (NO_MORE_ITERATIONS);
        do {
            my $rc = Vorla::NWDSListContainableClasses($h, $_[0], $iter, $out);
            return $rc if $rc;
            my $n = 0;
            Vorla::NWDSGetClassItemCount($h, $out, $n);
            for (1 .. $n) { my $c = ''; Vorla::NWDSGetClassItem($h, $out, $c); push @c, $c }
        } while (($iter & 0xFFFFFFFF) != $END);
        return { map { $_ => 1 } @c };
    };
    my $org = $classes->('.O=Example');
    ok $org->{'Organizational Unit'} && $org->{User} && $org->{Group} && $org->{Alias}, 'an organization holds units, users, groups, aliases';
    ok !$org->{Organization} && !$org->{Top} && !$org->{Person}, 'not organizations, nor classes that are not effective';
    my $ou = $classes->('OU=Staff');
    ok $ou->{'Organizational Unit'} && $ou->{User}, 'a unit holds units and users';
    is_deeply $classes->('CN=jdoe.OU=Staff'), {}, 'a user holds nothing';
    Vorla::NWDSFreeBuf($out);
};

subtest 'an alias read is its object; value information reads like values' => sub {
    is_deeply values_of('CN=jdoe alias.OU=Staff'), values_of('CN=jdoe.OU=Staff'), 'NWDSRead of an alias reads the user';
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out) == 0 or die 'alloc';
    my $none = bless \(my $p = 0), 'pBuf_T';
    my %by_type;
    for my $type (DS_ATTRIBUTE_VALUES, DS_VALUE_INFO, DS_ABBREVIATED_VALUE) {
        my $iter = Vorla::NWDSRead($h, 'CN=jdoe.OU=Staff', $type, 1, $none, NO_MORE_ITERATIONS, $out);
        ok defined $iter, "info type $type read";
        for (1 .. Vorla::NWDSGetAttrCount($h, $out)) {
            my ($attr, $n, $syntax) = Vorla::NWDSGetAttrName($h, $out);
            push @{ $by_type{$type}{$attr} }, map { Vorla::NWDSGetAttrVal($h, $out, $syntax) } 1 .. $n;
        }
    }
    is_deeply $by_type{+DS_VALUE_INFO}, $by_type{+DS_ATTRIBUTE_VALUES}, 'DS_VALUE_INFO: the same names and values';
    is_deeply $by_type{+DS_ABBREVIATED_VALUE}, $by_type{+DS_ATTRIBUTE_VALUES}, 'DS_ABBREVIATED_VALUE too';
    Vorla::NWDSFreeBuf($out);
};

$tree->add('CN=Clerks.OU=Staff', { 'Object Class' => 'Group', Member => ['CN=jdoe.OU=Staff', 'CN=Auditor.OU=Staff'] });
$tree->modify('CN=jdoe.OU=Staff', add => { 'Group Membership' => 'CN=Clerks.OU=Staff' });
$tree->modify('OU=Staff', add => { ACL => "Title\n[R]\nCN=jdoe.OU=Staff\n" });

subtest 'references and inspection' => sub {
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out) == 0 or die 'alloc';
    my $none = bless \(my $p = 0), 'pBuf_T';
    my ($iter, %refs) = (NO_MORE_ITERATIONS);
    is Vorla::NWDSReadReferences($h, '', 'CN=jdoe.OU=Staff', DS_ATTRIBUTE_VALUES, 1, $none, 0, $iter, $out), 0, 'read';
    for (1 .. Vorla::NWDSGetObjectCount($h, $out)) {
        my ($name, $attrs) = Vorla::NWDSGetObjectName($h, $out);
        for (1 .. $attrs) {
            my ($attr, $n, $syntax) = Vorla::NWDSGetAttrName($h, $out);
            Vorla::NWDSGetAttrVal($h, $out, $syntax) for 1 .. $n;
            push @{ $refs{$name} }, $attr;
        }
    }
    is_deeply [grep { exists $refs{$_} } 'CN=Clerks.OU=Staff', 'CN=jdoe alias.OU=Staff', 'OU=Staff'],
        ['CN=Clerks.OU=Staff', 'CN=jdoe alias.OU=Staff', 'OU=Staff'], 'the entries that name jdoe'
        or diag explain \%refs;
    ok !exists $refs{'CN=Auditor.OU=Staff'}, 'and not one that does not';
    is_deeply $refs{'CN=Clerks.OU=Staff'}, ['Member'], 'the group by its members';
    is Vorla::NWDSInspectEntry($h, '', 'CN=jdoe.OU=Staff', $out), 0, 'a sound entry inspects clean';
    is Vorla::NWDSGetAttrCount($h, $out), 0, 'with no findings';
    Vorla::NWDSFreeBuf($out);
};

subtest 'a rename is followed by every value that named the entry' => sub {
    $tree->rename('CN=jdoe.OU=Staff', 'CN=jsmith');
    my $new = 'CN=jsmith.OU=Staff';
    is_deeply [sort $tree->members('CN=Clerks.OU=Staff')], [sort 'CN=Auditor.OU=Staff', $new], 'the group names the new name';
    ok scalar(grep { /\nCN=jsmith\.OU=Staff\n\z/ } $tree->read('OU=Staff')->get_value('ACL')), 'the ACL subject too';
    is $tree->read('CN=jdoe alias.OU=Staff')->get_value('Surname'), 'Doe', 'and the alias leads to it';
    ok !grep({ /jdoe\.OU/ } map { $tree->read($_)->get_value($_ eq 'OU=Staff' ? 'ACL' : 'Member') } 'OU=Staff', 'CN=Clerks.OU=Staff'),
        'the old name is nowhere';
};

subtest 'a removed entry leaves the values that named it' => sub {
    $tree->remove('CN=Auditor.OU=Staff');
    is_deeply [$tree->members('CN=Clerks.OU=Staff')], ['CN=jsmith.OU=Staff'], 'the member is gone from the group';
    ok !grep({ /Auditor/ } $tree->read('CN=jsmith.OU=Staff')->get_value('ACL')), 'and from the ACLs that named it';
};

done_testing;

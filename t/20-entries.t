# Entries end to end through the module: build requests with the buffer subs,
# add and modify entries, read them back with the readers (looping on the
# iteration handle), compare, remove; every structured syntax's value text
# comes back as it was put; the failures a script meets reach it as statuses.
# On either backend (t/lib/Backend.pm); over LDAP, what the script wrote is
# what ldapsearch finds on the server.
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Backend password => 'Admin-pw';
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSLogin($ctx, 0, ".CN=Admin.O=Example", Backend::password(), 0) == 0 or die "login as the Admin";
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "[Root]");
Vorla::NWDSAllocBuf(MAX_MESSAGE_LEN, my $req);
my $none = bless \(my $p = 0), 'pBuf_T';

# Puts one value, given in script form, through a fresh scalar (the type test
# looks at the scalar's exact type, and value text is split in place).
sub put_value {
    my @fresh = ($_[1]);    # not through a reused lexical, which keeps an earlier type
    return Vorla::NWDSPutAttrVal($ctx, $req, $_[0], $fresh[0]);
}

# Adds an entry: each attribute is [name, syntax, values...].  Returns the
# status (0 on success).
sub add_entry {
    my ($name, @attrs) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req) == 0 or die "init";
    for my $a (@attrs) {
        my ($attr, $syntax, @values) = @$a;
        my $rc = Vorla::NWDSPutAttrName($ctx, $req, $attr);
        return $rc if $rc;
        for my $v (@values) {
            $rc = put_value($syntax, $v);
            return $rc if $rc;
        }
    }
    my $iter = Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req);
    return defined $iter ? 0 : Vorla::GetLastErr();
}

# Applies changes: each is [change type, name, syntax, values...].
sub modify_entry {
    my ($name, @changes) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_MODIFY_ENTRY, $req) == 0 or die "init";
    for my $c (@changes) {
        my ($type, $attr, $syntax, @values) = @$c;
        my $rc = Vorla::NWDSPutChange($ctx, $req, $type, $attr);
        return $rc if $rc;
        for my $v (@values) {
            $rc = put_value($syntax, $v);
            return $rc if $rc;
        }
    }
    my $iter = Vorla::NWDSModifyObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req);
    return defined $iter ? 0 : Vorla::GetLastErr();
}

# Reads an entry (all attributes, or the named ones) into a result buffer of
# the given size, looping on the iteration handle.  Returns ({attr => [values]},
# {attr => syntax}, parts) or (undef, status).
sub read_entry {
    my ($name, $size, @attrs) = @_;
    my ($names, $all) = ($none, 1);
    if (@attrs) {
        Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
        Vorla::NWDSPutAttrName($ctx, $req, $_) for @attrs;
        ($names, $all) = ($req, 0);
    }
    Vorla::NWDSAllocBuf($size, my $out) == 0 or die "alloc";
    my (%values, %syntax);
    my ($iter, $parts) = (NO_MORE_ITERATIONS, 0);
    do {
        $iter = Vorla::NWDSRead($ctx, $name, DS_ATTRIBUTE_VALUES, $all, $names, $iter, $out);
        unless (defined $iter) {
            my $rc = Vorla::GetLastErr();
            Vorla::NWDSFreeBuf($out);
            return (undef, $rc);
        }
        $parts++;
        my $count = Vorla::NWDSGetAttrCount($ctx, $out);
        for (1 .. $count) {
            my ($attr, $n, $syntax) = Vorla::NWDSGetAttrName($ctx, $out);
            $syntax{$attr} = $syntax;
            push @{ $values{$attr} }, map { Vorla::NWDSGetAttrVal($ctx, $out, $syntax) } 1 .. $n;
        }
    } while (($iter & 0xFFFFFFFF) != NO_MORE_ITERATIONS);
    Vorla::NWDSFreeBuf($out);
    return (\%values, \%syntax, $parts);
}

my $org = "O=Example";
my $ou = "OU=Sales.$org";
my $user = "CN=jdoe.$ou";
my $admin = "CN=Admin.$org";

subtest 'a small subtree' => sub {
    is add_entry($ou, ['Object Class', SYN_CLASS_NAME, 'Organizational Unit'],
                      ['Description', SYN_CI_STRING, 'Sales people']), 0, 'an organizational unit';
    # Attributes of the NDS schema alone (a login limit, an ACL) on the embedded store only.
    my @nds = Backend::ldap() ? () : (['Login Maximum Simultaneous', SYN_INTEGER, 4294967295],
                                      ['ACL', SYN_OBJECT_ACL, "[Entry Rights]\n[BADRS]\n$admin\n"]);
    is add_entry($user, ['Object Class', SYN_CLASS_NAME, 'User'], ['Surname', SYN_CI_STRING, 'Doe'],
                        ['Telephone Number', SYN_TEL_NUMBER, '555-0100', '555-0101'],
                        ['Postal Address', SYN_PO_ADDRESS, "1 Main St\nSuite 2\nSpringfield\nIL\n62701\nUSA\n"],
                        @nds), 0, 'a user with values';
    my ($v, $s) = read_entry($user, DEFAULT_MESSAGE_LEN);
    ok $v, 'reads back';
    is_deeply [sort @{ $v->{'Telephone Number'} }], ['555-0100', '555-0101'], 'telephone numbers';
    is_deeply $v->{'Surname'}, ['Doe'], 'surname';
    is_deeply $v->{'Postal Address'}, ["1 Main St\nSuite 2\nSpringfield\nIL\n62701\nUSA\n"], 'postal address';
    SKIP: {
        skip 'embedded store only: a login limit and an ACL', 2 if Backend::ldap();
        is_deeply $v->{'Login Maximum Simultaneous'}, [-1], '4294967295 comes back as -1';
        ok scalar(grep { $_ eq "[Entry Rights]\n[BADRS]\n$admin\n" } @{ $v->{'ACL'} }), 'the ACL';
    }
    is $s->{'Surname'}, SYN_CI_STRING, 'syntax ids come with the names';
    my ($only) = read_entry($user, DEFAULT_MESSAGE_LEN, 'Surname');
    is_deeply [keys %$only], ['Surname'], 'a read of named attributes gives just those';
};

subtest 'what the script wrote is on the server' => sub {
    plan skip_all => 'over LDAP only' unless Backend::ldap();
    my $ldif = Backend::ldapsearch('cn=jdoe,ou=Sales,' . $Backend::BASE, qw(objectClass sn telephoneNumber postalAddress));
    like $ldif, qr/^dn: cn=jdoe,ou=Sales,\Q$Backend::BASE\E$/mi, 'the entry, under its organizational unit';
    like $ldif, qr/^objectClass: inetOrgPerson$/mi, 'a User is an inetOrgPerson';
    like $ldif, qr/^sn: Doe$/m, 'its surname';
    is_deeply [sort $ldif =~ /^telephoneNumber: (.*)$/mg], ['555-0100', '555-0101'], 'both telephone numbers';
    like $ldif, qr/^postalAddress: 1 Main St\$Suite 2\$Springfield\$IL\$62701\$USA$/m, 'the postal address, line by line';
};

subtest "values in the server's own syntaxes" => sub {
    plan skip_all => 'over LDAP only' unless Backend::ldap();
    # An auxiliary class and its attributes in one modification, named as the server names them.
    is modify_entry($user, [DS_ADD_VALUE, 'Object Class', SYN_CLASS_NAME, 'posixAccount'],
                           [DS_ADD_VALUE, 'uid', SYN_CI_STRING, 'jdoe'], [DS_ADD_VALUE, 'uidNumber', SYN_INTEGER, 1001],
                           [DS_ADD_VALUE, 'gidNumber', SYN_INTEGER, 100],
                           [DS_ADD_VALUE, 'homeDirectory', SYN_CE_STRING, '/home/jdoe'],
                           [DS_ADD_VALUE, 'jpegPhoto', SYN_OCTET_STRING, "3\n0\nA\nFF\n"],
                           [DS_ADD_VALUE, 'audio', SYN_OCTET_STRING, "2\n0\nFF\n"]), 0, 'a posix account';
    my ($v, $s) = read_entry($user, DEFAULT_MESSAGE_LEN, qw(uidNumber homeDirectory jpegPhoto audio modifyTimestamp));
    is_deeply [@$s{qw(uidNumber homeDirectory jpegPhoto modifyTimestamp)}],
              [SYN_INTEGER, SYN_CE_STRING, SYN_OCTET_STRING, SYN_TIME], 'syntaxes from the server schema';
    is_deeply $v->{uidNumber}, [1001], 'an integer';
    is_deeply $v->{homeDirectory}, ['/home/jdoe'], 'an exact string';
    is_deeply $v->{jpegPhoto}, ["3\n0\nA\nFF\n"], 'bytes, a zero among them';
    is_deeply [$s->{audio}, @{ $v->{audio} }], [SYN_OCTET_STRING, "2\n0\nFF\n"], 'audio as bytes too, not as text';
    cmp_ok abs($v->{modifyTimestamp}[0] - time), '<', 600, 'the time of the change, in seconds';
    like Backend::ldapsearch('cn=jdoe,ou=Sales,' . $Backend::BASE, 'uidNumber'), qr/^uidNumber: 1001$/m, 'on the server';
};

subtest 'every structured syntax comes back as it was put' => sub {
    Backend::embedded_only('attributes of the NDS schema');
    my @cases = (
        ['Language', SYN_CI_LIST, "English\nGerman\n"],
        ['Public Key', SYN_OCTET_STRING, "3\n0\nA\nFF\n"],
        ['Facsimile Telephone Number', SYN_FAX_NUMBER, "555-0199\n"],
        ['Network Address', SYN_NET_ADDRESS, "0\n12\n00001234:00001B2C3D4E\n"],
        ['NWClient Octet List', SYN_OCTET_LIST, ""],
        ['EMail Address', SYN_EMAIL_ADDRESS, "0\njdoe\@example.com\n"],
        ['Home Directory', SYN_PATH, "0\nCN=VORLA_SRV1_SYS.$org\nHOME/JDOE\n"],
        ['NWClient Replica Pointer', SYN_REPLICA_POINTER,
         "CN=VORLA_SRV1.$org\n0\n1\n2\n9\n0A000001:000000000001\n1\n0B000002:000000000002\n"],
        ['ACL', SYN_OBJECT_ACL, "Telephone Number\n[CRWS]\n$admin\n"],
        ['NWClient Timestamp', SYN_TIMESTAMP, "100\n65538\n"],
        ['NWClient Back Link', SYN_BACK_LINK, "7\n$admin\n"],
        ['Server Holds', SYN_HOLD, "$admin\n42\n"],
    );
    for my $c (@cases) {
        my ($attr, $syntax, $text) = @$c;
        is modify_entry($user, [DS_ADD_VALUE, $attr, $syntax, $text]), 0, "$attr added";
        my ($v, $s) = read_entry($user, DEFAULT_MESSAGE_LEN, $attr);
        is $s->{$attr}, $syntax, "$attr has syntax $syntax";
        ok scalar(grep { defined && $_ eq $text } @{ $v->{$attr} || [] }), "$attr reads back"
            or diag explain $v->{$attr};
    }
    is add_entry("CN=LaserJet.$ou", ['Object Class', SYN_CLASS_NAME, 'Printer'],
                 ['Notify', SYN_TYPED_NAME, "$admin\n0x1\n0x2\n"]), 0, 'a printer with a typed name';
    my ($v) = read_entry("CN=LaserJet.$ou", DEFAULT_MESSAGE_LEN, 'Notify');
    is_deeply $v->{'Notify'}, ["$admin\n0x1\n0x2\n"], 'the typed name reads back';
};

subtest 'a stream attribute reads as undef with status 0' => sub {
    Backend::embedded_only('streams');
    is modify_entry($user, [DS_ADD_ATTRIBUTE, 'Login Script', SYN_STREAM, undef]), 0, 'a stream attribute';
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
    Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Login Script');
    ok defined Vorla::NWDSRead($ctx, $user, DS_ATTRIBUTE_VALUES, 0, $req, NO_MORE_ITERATIONS, $out), 'read';
    is Vorla::NWDSGetAttrCount($ctx, $out), 1, 'one attribute';
    my ($attr, $count, $syntax) = Vorla::NWDSGetAttrName($ctx, $out);
    is $syntax, SYN_STREAM, 'of the stream syntax';
    my @r = Vorla::NWDSGetAttrVal($ctx, $out, $syntax);
    is_deeply \@r, [undef], 'its value is undef';
    is Vorla::GetLastErr(), 0, 'with the last status 0';
    Vorla::NWDSFreeBuf($out);
};

subtest 'an unsupported syntax the client delivers warns' => sub {
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
    local $ENV{NWCLIENT_FAULTS} = 'NWDSComputeAttrValSize=0,NWDSGetAttrVal=0';
    my @warnings;
    local $SIG{__WARN__} = sub { push @warnings, @_ };
    is Vorla::NWDSGetAttrVal($ctx, $out, 40), undef, 'undef';
    is Vorla::GetLastErr(), 0, 'while the client said 0';
    Vorla::NWDSGetAttrVal($ctx, $out, -1);
    is_deeply \@warnings, ["NWDSGetAttrVal() called with unknown syntaxID: 40\n",
                           "NWDSGetAttrVal() called with unknown syntaxID: 4294967295\n"], 'the warnings, exactly';
    Vorla::NWDSFreeBuf($out);
};

subtest 'a read that needs several buffers gives every value once' => sub {
    my @numbers = map { sprintf '555-%04d', $_ } 1 .. 60;
    is modify_entry($user, [DS_ADD_VALUE, 'Telephone Number', SYN_TEL_NUMBER, @numbers]), 0, '60 more numbers';
    my ($v, undef, $parts) = read_entry($user, 512);
    ok $v, 'read with a small result buffer';
    cmp_ok $parts, '>', 1, "in $parts parts";
    my @got = sort @{ $v->{'Telephone Number'} };
    is_deeply \@got, [sort '555-0100', '555-0101', @numbers], 'every number exactly once';
    my ($whole) = read_entry($user, MAX_MESSAGE_LEN);
    is_deeply $v, $whole, 'the same as one large read';
};

subtest 'modifications' => sub {
    is modify_entry($user, [DS_REMOVE_VALUE, 'Telephone Number', SYN_TEL_NUMBER, '555-0100']), 0, 'remove a value';
    is modify_entry($user, [DS_OVERWRITE_VALUE, 'Surname', SYN_CI_STRING, 'Doe']), 0, 'overwrite an existing value';
    is modify_entry($user, [DS_OVERWRITE_VALUE, 'Surname', SYN_CI_STRING, 'Doe-Smith']), 0, 'overwrite a new one';
    # A list syntax where the schema has one; over LDAP a plain attribute added here.
    my ($gone, $syntax) = Backend::ldap() ? ('Title', SYN_CI_STRING) : ('Language', SYN_CI_LIST);
    is modify_entry($user, [DS_ADD_VALUE, 'Title', SYN_CI_STRING, 'Clerk']), 0, 'a title' if Backend::ldap();
    is modify_entry($user, [DS_REMOVE_ATTRIBUTE, $gone, $syntax]), 0, 'remove an attribute';
    my ($v) = read_entry($user, MAX_MESSAGE_LEN);
    ok !(grep { $_ eq '555-0100' } @{ $v->{'Telephone Number'} }), 'the value is gone';
    is_deeply [sort @{ $v->{'Surname'} }], ['Doe', 'Doe-Smith'], 'overwriting adds, without a duplicate';
    ok !exists $v->{$gone}, 'the attribute is gone';
    is modify_entry($user, [DS_ADD_VALUE, 'Description', SYN_CI_STRING, 'a'],
                           [DS_ADD_VALUE, 'No Such Attribute', SYN_CI_STRING, 'b']), -603, 'a bad change...';
    ($v) = read_entry($user, MAX_MESSAGE_LEN);
    ok !exists $v->{'Description'}, '...leaves the whole modification undone';
};

subtest 'compare' => sub {
    Vorla::NWDSInitBuf($ctx, DSV_COMPARE, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
    put_value(SYN_CI_STRING, 'DOE-SMITH');
    isnt Vorla::NWDSCompare($ctx, $user, $req), 0, 'a matching value (case ignored)';
    Vorla::NWDSInitBuf($ctx, DSV_COMPARE, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
    put_value(SYN_CI_STRING, 'Roe');
    my $r = Vorla::NWDSCompare($ctx, $user, $req);
    is $r, 0, 'a value that does not match gives 0';
    is Vorla::NWDSCompare($ctx, "CN=nobody.$ou", $req), undef, 'an entry that does not exist gives undef';
    is Vorla::GetLastErr(), -601, 'with no such entry';
};

subtest 'failures a script meets' => sub {
    my ($v, $rc) = read_entry("CN=nobody.$ou", DEFAULT_MESSAGE_LEN);
    is $rc, -601, 'no such entry';
    is add_entry($user, ['Object Class', SYN_CLASS_NAME, 'User'], ['Surname', SYN_CI_STRING, 'Doe']), -606, 'entry exists';
    is add_entry("CN=nosurname.$ou", ['Object Class', SYN_CLASS_NAME, 'User']), -609, 'missing mandatory';
    is add_entry("CN=x.$ou", ['Object Class', SYN_CLASS_NAME, 'User'], ['Surname', SYN_CI_STRING, 'X'],
                 ['No Such Attribute', SYN_CI_STRING, 'y']), -603, 'no such attribute';
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Login Disabled');
    is put_value(SYN_BOOLEAN, 5), -613, 'a boolean that is neither 0 nor 1 is a syntax violation';
    is Vorla::NWDSPutAttrName($ctx, $none, 'x'), -331, 'a null buffer';
    Vorla::NWDSInitBuf($ctx, DSV_READ, $req);
    is Vorla::NWDSPutChange($ctx, $req, DS_ADD_VALUE, 'Surname'), -308, 'a change in a read request';
};

subtest 'removing' => sub {
    is Vorla::NWDSRemoveObject($ctx, $ou), -629, 'a container with entries below it stays';
    is Vorla::NWDSRemoveObject($ctx, $_), 0, "remove $_" for $user, Backend::ldap() ? () : "CN=LaserJet.$ou", $ou;
    my (undef, $rc) = read_entry($ou, DEFAULT_MESSAGE_LEN);
    is $rc, -601, 'gone';
};

Vorla::NWDSFreeBuf($req);
Vorla::NWDSFreeContext($ctx);
done_testing;

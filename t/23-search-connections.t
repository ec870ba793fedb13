# Searching, schema reads and connections from a script: the status-returning
# search with its written-back handle and count, class definitions walked with
# the class readers, and the connection subs' result forms.  Search and
# class definitions on either backend (t/lib/Backend.pm).
use strict;
use warnings;
use Test::More;
use FindBin;
use lib "$FindBin::Bin/lib";
use Backend password => 'Admin-pw';
use Vorla qw(:constants);

my $ctx = Vorla::NWDSCreateContextHandle();
Vorla::NWDSLogin($ctx, 0, ".CN=Admin.O=Example", Backend::password(), 0) == 0 or die "login as the Admin";
Vorla::NWDSSetContext($ctx, DCK_NAME_CONTEXT, "O=Example");
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $req);
Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
my $none = bless \(my $p = 0), 'pBuf_T';

for my $n (1 .. 6) {
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $c = 'User');
    Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CI_STRING, my $s = $n % 2 ? 'Odd' : 'Even');
    defined Vorla::NWDSAddObject($ctx, "CN=s$n", NO_MORE_ITERATIONS, 0, $req) or die Vorla::GetLastErr();
}

subtest 'search' => sub {
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $filter);
    Vorla::NWDSInitBuf($ctx, DSV_SEARCH_FILTER, $filter);
    Vorla::NWDSPutAttrName($ctx, $filter, 'Surname');
    Vorla::NWDSPutAttrVal($ctx, $filter, SYN_CI_STRING, my $v = 'odd');
    my ($iter, $searched) = (NO_MORE_ITERATIONS, 0);
    is Vorla::NWDSSearch($ctx, '[Root]', DS_SEARCH_SUBTREE, 0, $filter, DS_ATTRIBUTE_NAMES, 1, $none,
                         $iter, 0, $searched, $out), 0, 'a subtree search';
    is $iter, -1, 'complete in one part, the handle written back';
    cmp_ok $searched, '>=', 3, "$searched entries examined (the candidates the value index gave)";
    my @names = map { (Vorla::NWDSGetObjectName($ctx, $out))[0] } 1 .. Vorla::NWDSGetObjectCount($ctx, $out);
    is_deeply [sort @names], ['CN=s1', 'CN=s3', 'CN=s5'], 'the matching entries, relative to the context';
    Vorla::NWDSFreeBuf($filter);
};

subtest 'class definitions' => sub {
    Vorla::NWDSInitBuf($ctx, DSV_READ_CLASS_DEF, $req);
    Vorla::NWDSPutClassName($ctx, $req, 'User');
    my $iter = NO_MORE_ITERATIONS;
    is Vorla::NWDSReadClassDef($ctx, DS_CLASS_DEFS, 0, $req, $iter, $out), 0, 'read the User class';
    my $count = 0;
    is Vorla::NWDSGetClassDefCount($ctx, $out, $count), 0, 'count';
    is $count, 1, 'one class';
    my $name = '';
    my $info = bless \(my $ip = 0), 'pClass_Info_T';
    is Vorla::NWDSGetClassDef($ctx, $out, $name, $info), 0, 'the class, without asking for its information';
    is $name, 'User', 'its name written into the variable';
    ok !defined $info, 'a handle holding 0 comes back undef';
    my $items = -1;
    is Vorla::NWDSGetClassItemCount($ctx, $out, $items), 0, 'the first item list';
    cmp_ok $items, '>=', 1, 'super classes';
    my $super = '';
    Vorla::NWDSGetClassItem($ctx, $out, $super);
    is $super, 'Organizational Person', 'the nearest super class';
};

subtest 'connections' => sub {
    Backend::embedded_only("the store's own server and tree");
    my $conn = 0;
    is Vorla::NWDSOpenConnToNDSServer($ctx, 'CN=VORLA_SRV1', $conn), 0, 'a connection to the server';
    cmp_ok $conn, '>', 0, 'its handle';
    my @info = Vorla::NWDSGetConnectionInfo($conn);
    is scalar(@info), 9, 'nine values of connection information';
    is scalar(grep { $_ >= 0 && $_ <= 255 } @info[0 .. 2, 4]), 4, 'the byte cells as 0 to 255';
    is $info[3], 'VORLA_SRV1', 'the server name as text';
    like $info[6], qr/\A(?:[0-9A-F]{2})*\z/, 'the transport address as hexadecimal text';
    is length $info[6], 2 * $info[5], 'two digits per byte of the transport length';
    my ($code_page, $country) = Vorla::NWLlocaleconv();
    Vorla::NWInitUnicodeTables($country, $code_page);    # the tree name is converted through them
    my @ver = Vorla::NWDSGetDSVerInfo($conn);
    is scalar(@ver), 5, 'five values of version information';
    is $ver[2], 'VORLA_SRV1', 'the server name';
    is $ver[4], 'VORLA_TREE', 'the tree name in the local code page';
    is_deeply [Vorla::NWDSGetConnectionInfo(99999)], [undef], 'an invalid connection gives undef';
    is Vorla::GetLastErr(), -352, 'and its status';
    my $tree = '';
    ok Vorla::NWIsDSServer($conn, $tree), 'a directory server';
    is $tree, 'VORLA_TREE', 'of the tree';
    my $n = 70000;
    is Vorla::NWGetNumConnections($n), 0, 'the number of connections';
    cmp_ok $n, '<=', 65535, 'a 16-bit cell';
};

Vorla::NWDSFreeBuf($_) for $req, $out;
Vorla::NWDSFreeContext($ctx);
done_testing;

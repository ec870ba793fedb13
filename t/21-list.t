# Listing subordinates from a script: the iteration handle through a
# value-returning sub, the object readers' result forms, the filters, counts
# and closing an iteration early.  On either backend (t/lib/Backend.pm).
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

sub add {
    my ($name, $class, @more) = @_;
    Vorla::NWDSInitBuf($ctx, DSV_ADD_ENTRY, $req);
    Vorla::NWDSPutAttrName($ctx, $req, 'Object Class');
    Vorla::NWDSPutAttrVal($ctx, $req, SYN_CLASS_NAME, my $c = $class);
    if ($class eq 'User') {
        Vorla::NWDSPutAttrName($ctx, $req, 'Surname');
        Vorla::NWDSPutAttrVal($ctx, $req, SYN_CI_STRING, my $s = 'S');
    }
    while (my ($attr, $syntax, $value) = splice @more, 0, 3) {
        Vorla::NWDSPutAttrName($ctx, $req, $attr);
        Vorla::NWDSPutAttrVal($ctx, $req, $syntax, $value);
    }
    defined Vorla::NWDSAddObject($ctx, $name, NO_MORE_ITERATIONS, 0, $req)
        or die "add $name: " . Vorla::GetLastErr() . "\n";
}

add('OU=Lab', 'Organizational Unit');
add("CN=user$_.OU=Lab", 'User') for 1 .. 25;
add('OU=Inner.OU=Lab', 'Organizational Unit');
# An LDAP group of names must have a member.
add('CN=Group1.OU=Lab', 'Group', Backend::ldap() ? ('Member', SYN_DIST_NAME, 'CN=user1.OU=Lab') : ());

# Lists a container with NWDSList in a buffer of the given size.
sub list_all {
    my ($object, $size) = @_;
    Vorla::NWDSAllocBuf($size, my $out);
    my ($iter, @names, @counts) = (NO_MORE_ITERATIONS);
    my $parts = 0;
    do {
        $iter = Vorla::NWDSList($ctx, $object, $iter, $out);
        return (undef, Vorla::GetLastErr()) unless defined $iter;
        $parts++;
        for (1 .. Vorla::NWDSGetObjectCount($ctx, $out)) {
            my @r = Vorla::NWDSGetObjectName($ctx, $out);
            push @counts, scalar @r;
            push @names, $r[0];
        }
    } while (($iter & 0xFFFFFFFF) != NO_MORE_ITERATIONS);
    Vorla::NWDSFreeBuf($out);
    return (\@names, $parts, \@counts, $iter);
}

subtest 'listing in several parts' => sub {
    my ($names, $parts, $counts, $last) = list_all('OU=Lab', 512);
    is scalar(@$names), 27, 'every subordinate';
    cmp_ok $parts, '>', 1, "in $parts parts";
    my %seen;
    $seen{$_}++ for @$names;
    is scalar(grep { $seen{$_} > 1 } keys %seen), 0, 'none twice';
    ok $seen{'CN=user7.OU=Lab'}, 'names are relative to the name context';
    is_deeply [grep { $_ != 2 } @$counts], [], 'NWDSGetObjectName gives exactly two values';
    is $last, -1, 'the last part hands back -1, defined';
    my ($none, $rc) = list_all('OU=Nowhere', 512);
    is $rc, -601, 'a missing container gives undef and its status';
};

subtest 'filters and counts' => sub {
    Vorla::NWDSAllocBuf(DEFAULT_MESSAGE_LEN, my $out);
    my $iter = NO_MORE_ITERATIONS;
    no warnings 'uninitialized';
    is Vorla::NWDSListByClassAndName($ctx, 'OU=Lab', undef, 'user1*', $iter, $out), 0, 'by name, any class';
    my @names = map { (Vorla::NWDSGetObjectName($ctx, $out))[0] } 1 .. Vorla::NWDSGetObjectCount($ctx, $out);
    is_deeply [sort @names], [sort map { "CN=user$_.OU=Lab" } 1, 10 .. 19], 'the wildcard matches';
    is $iter, -1, 'and the handle is written back';
    $iter = NO_MORE_ITERATIONS;
    is Vorla::NWDSListContainers($ctx, 'OU=Lab', $iter, $out), 0, 'containers only';
    is Vorla::NWDSGetObjectCount($ctx, $out), 1, 'one';
    my $count = -5;
    is Vorla::NWDSGetCountByClassAndName($ctx, 'OU=Lab', 'User', '', $count), 0, 'count users';
    is $count, 25, 'twenty-five';
    $count = 99;
    isnt Vorla::NWDSGetCountByClassAndName($ctx, 'OU=Nowhere', '', '', $count), 0, 'a failing count';
    ok defined $count, 'still writes its variable';
    Vorla::NWDSFreeBuf($out);
};

subtest 'closing an unfinished listing' => sub {
    Vorla::NWDSAllocBuf(512, my $out);
    my $iter = Vorla::NWDSList($ctx, 'OU=Lab', NO_MORE_ITERATIONS, $out);
    ok defined $iter && $iter != -1, 'a listing that is not finished';
    is Vorla::NWDSCloseIteration($ctx, $iter, DSV_LIST), 0, 'closed early';
    is Vorla::NWDSCloseIteration($ctx, $iter, DSV_LIST), -642, 'a second close finds nothing';
    is Vorla::NWDSList($ctx, 'OU=Lab', $iter, $out), undef, 'nor does continuing it';
    Vorla::NWDSFreeBuf($out);
};

Vorla::NWDSFreeBuf($req);
Vorla::NWDSFreeContext($ctx);
done_testing;
